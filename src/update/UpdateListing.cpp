#include "UpdateListing.h"

#include "NumberText.h"

#include <QDir>
#include <QFileInfo>
#include <QtGlobal>

#include <limits>
#include <optional>

namespace corvanel::update {

using namespace corvanel::platform;
namespace {

// The numeric value of the leading digits (after blanks and a sign); no value when the
// number does not fit in 16 bits.
std::optional<int> leadingInt16(const QString &text)
{
    const int64_t value = leadingInteger(text);
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

} // namespace

bool isPlainFileName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    }
    return true;
}

ListingLine parseListingLine(const QString &line, int localVersion)
{
    ListingLine result;
    if (line.isEmpty() || line.startsWith(QLatin1String("//")))
        return result;
    const QStringList fields = line.split(QStringLiteral("::"));
    const std::optional<int> version = leadingInt16(fields.at(0));
    if (!version) {
        result.kind = ListingLineKind::Error;
        result.error = QStringLiteral("version number out of range");
        return result;
    }
    result.version = *version;
    if (localVersion >= *version) {
        result.kind = ListingLineKind::NotNewer;
        return result;
    }
    if (fields.size() < 3) {
        result.kind = ListingLineKind::Error;
        result.error = QStringLiteral("fewer than three fields");
        return result;
    }
    if (!isPlainFileName(fields.at(2))) {
        result.kind = ListingLineKind::Error;
        result.error = QStringLiteral("the file name is not a plain name");
        return result;
    }
    result.kind = ListingLineKind::Download;
    result.address = fields.at(1);
    result.fileName = fields.at(2);
    return result;
}

QStringList splitListing(const QByteArray &listing)
{
    QStringList lines;
    qsizetype start = 0;
    while (start < listing.size()) {
        qsizetype end = listing.indexOf('\n', start);
        if (end < 0)
            end = listing.size();
        qsizetype stop = end;
        if (stop > start && listing.at(stop - 1) == '\r')
            --stop;
        lines << QString::fromUtf8(listing.constData() + start, stop - start);
        start = end + 1;
    }
    return lines;
}

std::optional<int> localVersionNumber(int major, int minor, int revision)
{
    const qint64 number = qint64(major) * 100 + qint64(minor) * 10 + revision;
    if (number < std::numeric_limits<qint16>::min() || number > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<int>(number);
}

std::optional<int> localVersionNumber()
{
    return localVersionNumber(CORVANEL_VERSION_MAJOR, CORVANEL_VERSION_MINOR, CORVANEL_VERSION_PATCH);
}

QString listingAddress()
{
    QString server = qEnvironmentVariable("CORVANEL_UPDATE_SERVER").trimmed();
    if (server.isEmpty())
        server = QStringLiteral(CORVANEL_UPDATE_HOST);
    return QStringLiteral("http://") + server + QStringLiteral("/downloads/corvanel/version.txt");
}

bool isManagedInstall(const QString &programFolder)
{
    const QFileInfo folder(programFolder);
    return QFileInfo::exists(QDir(programFolder).filePath(QString::fromLatin1(kPackagedMarker))) ||
           !folder.isWritable();
}

} // namespace corvanel::update
