#include "AboutText.h"

#include "Song.h"
#include "TimeText.h"

#include <QStringList>

// The build passes the project's version; these keep a stand-alone compile working.
#ifndef CORVANEL_VERSION_MAJOR
#define CORVANEL_VERSION_MAJOR 0
#endif
#ifndef CORVANEL_VERSION_MINOR
#define CORVANEL_VERSION_MINOR 1
#endif
#ifndef CORVANEL_VERSION_PATCH
#define CORVANEL_VERSION_PATCH 0
#endif

namespace corvanel::app {

using namespace corvanel::library;

namespace {
const QString kLineBreak = QStringLiteral("\r\n");
}

QString aboutTitle(const QString &captionText)
{
    return QStringLiteral("Halvetra : ") + captionText;
}

QString versionText()
{
    return QStringLiteral("%1.%2.%3")
        .arg(CORVANEL_VERSION_MAJOR)
        .arg(CORVANEL_VERSION_MINOR)
        .arg(CORVANEL_VERSION_PATCH);
}

QString aboutText()
{
    const QStringList lines = {
        QStringLiteral("Corvanel version: ") + versionText(),
        QStringLiteral("A part of Halvetra"),
        QString(),
        QStringLiteral("Built with:"),
        QStringLiteral("Qt %1 - user interface (The Qt Company, LGPL)").arg(QLatin1String(qVersion())),
        QStringLiteral("FFmpeg - audio decoding (LGPL)"),
        QStringLiteral("SDL2 - audio output (zlib licence)"),
        QStringLiteral("kissfft - spectrum analysis (BSD licence)"),
    };
    return lines.join(kLineBreak);
}

QString songInformationText(const Song &song)
{
    const QStringList lines = {
        QStringLiteral("Title: ") + song.Title, QStringLiteral("Artist: ") + song.Artist,
        QStringLiteral("Album: ") + song.Album, QStringLiteral("Length: ") + ConvertToTime(song.Length),
        QStringLiteral("Path: ") + song.Path,
    };
    return lines.join(kLineBreak);
}

} // namespace corvanel::app
