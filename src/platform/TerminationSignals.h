#pragma once
// SIGINT and SIGTERM (a terminal's Ctrl+C, the end of a session, the Updater) end the program
// the normal way: the handler only writes a byte to a pipe, and `received` follows on the
// thread that owns this object, from its event loop.
#include <QObject>

class QSocketNotifier;

namespace corvanel::platform {

class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override; // the default handlers come back

    bool installed() const { return m_notifier != nullptr; }

signals:
    void received(int signal);

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace corvanel::platform
