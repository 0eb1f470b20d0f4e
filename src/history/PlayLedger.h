#pragma once
// The record, per iPod, of the listens already exported, so that the next export of the same
// iPod gives only the plays that came since. Kept in the user's data folder, never on the iPod.
#include "Listens.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <vector>

namespace corvanel::history {

class PlayLedger
{
public:
    // $XDG_DATA_HOME/Corvanel/plays
    static QString defaultFolder();
    // The iPod's name for its ledger: the FirewireGuid of its SysInfo file, or else the id in the
    // header of its database file (or of the iTunesCDB beside it); empty when neither can be read.
    static QString keyFor(const QString &iPodDrive, const QString &databaseFile);

    PlayLedger(QString folder, const QString &key);

    QString path() const { return m_path; }
    // Reads what was exported before; a missing ledger is an empty one. False when it cannot be read.
    bool load();
    bool contains(const Listen &listen) const;
    // The listens not yet exported, in their order.
    std::vector<Listen> unexported(const std::vector<Listen> &listens) const;
    // Adds the listens and writes the ledger whole to a temporary file that then replaces it.
    // False (the ledger on disk unchanged) when it cannot be written.
    bool record(const std::vector<Listen> &listens, QString *error = nullptr);

private:
    static QByteArray entryOf(const Listen &listen);

    QString m_path;
    QSet<QByteArray> m_entries;
};

} // namespace corvanel::history
