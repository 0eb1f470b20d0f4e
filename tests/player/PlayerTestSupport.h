#pragma once
// Helpers of the player tests: a clean "Player" section, environment variables set for one
// test, files made executable, waiting for a file another process writes.
#include "SettingsStore.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QThread>

#include <optional>

inline void clearPlayerSettings()
{
    QSettings store = corvanel::settingsStore();
    store.remove(QStringLiteral("Player"));
    store.sync();
}

inline void storePlayerSettings(const QStringList &players, const QString &defaultPlayer = QString())
{
    QSettings store = corvanel::settingsStore();
    store.remove(QStringLiteral("Player"));
    store.setValue(QStringLiteral("Player/Count"), QString::number(players.size()));
    for (qsizetype i = 0; i < players.size(); ++i)
        store.setValue(QStringLiteral("Player/Player%1").arg(i + 1), players[i]);
    if (!defaultPlayer.isEmpty())
        store.setValue(QStringLiteral("Player/DefaultPlayer"), defaultPlayer);
    store.sync();
}

inline std::optional<QString> playerSetting(const QString &key)
{
    QSettings store = corvanel::settingsStore();
    const QVariant value = store.value(QStringLiteral("Player/") + key);
    if (!value.isValid())
        return std::nullopt;
    return value.toString();
}

// Sets an environment variable for the life of the object.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, const QByteArray &value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

inline bool writeFile(const QString &path, const QByteArray &bytes, bool executable = false)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(bytes);
    file.close();
    if (executable)
        file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeUser);
    return true;
}

// The file's content once it holds a line starting with marker, or nothing after the timeout.
inline std::optional<QByteArray> waitForFile(const QString &path, const QByteArray &marker, int timeoutMs = 10000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray content = file.readAll();
            if (content.startsWith(marker) || content.contains("\n" + marker))
                return content;
        }
        QThread::msleep(20);
    }
    return std::nullopt;
}
