#include "ExtractNames.h"

#include <QStringList>

#include <algorithm>

namespace corvanel::extract {
namespace {

// Stands for a folder separator of the template while the fields are put in.
const QString kMarker = QStringLiteral("PATHSEPERATOR");

bool onlyDotsAndSpaces(const QString &component)
{
    for (const QChar c : component) {
        if (c != u'.' && c != u' ')
            return false;
    }
    return true;
}

// Characters that have no place in a file name: the C0 and C1 controls, DEL, the bidirectional
// overrides and isolates (they make a name read otherwise than it is stored), and the line and
// paragraph separators.
bool unwanted(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069) ||
           u == 0x2028 || u == 0x2029;
}

void defaultIfEmpty(QString &field, const char *fallback)
{
    if (field.isEmpty())
        field = QString::fromLatin1(fallback);
}

} // namespace

namespace {

// At most this many bytes of a name's UTF-8 per folder or file name: file systems take 255,
// and the file name still gets " (2)" and its extension.
constexpr qsizetype kMaxNameBytes = 200;

// Cuts a name to kMaxNameBytes, never inside a character.
void fitName(QString &name)
{
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char32_t c = name.at(i).unicode();
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < name.size() && name.at(i + 1).isLowSurrogate();
        const qsizetype width = pair ? 4 : (c < 0x80 ? 1 : (c < 0x800 ? 2 : 3));
        if (bytes + width > kMaxNameBytes) {
            name.truncate(i);
            return;
        }
        bytes += width;
        i += pair ? 1 : 0;
    }
}

} // namespace

QString MakeFileName(const QString &Format, QString &SongTitle, QString &SongArtist, QString &SongAlbum,
                     QString &SongGenre, QString &SongTrack)
{
    QString name = Format;
    name.replace(QLatin1Char('\\'), kMarker);
    name.replace(QLatin1Char('/'), kMarker);
    defaultIfEmpty(SongGenre, "Unknown Genre");
    defaultIfEmpty(SongArtist, "Unknown Artist");
    defaultIfEmpty(SongAlbum, "Unknown Album");
    defaultIfEmpty(SongTrack, "00");
    // In this order: a value holding a later token is replaced again.
    name.replace(QStringLiteral("[genre]"), SongGenre, Qt::CaseInsensitive);
    name.replace(QStringLiteral("[artist]"), SongArtist, Qt::CaseInsensitive);
    name.replace(QStringLiteral("[album]"), SongAlbum, Qt::CaseInsensitive);
    name.replace(QStringLiteral("[title]"), SongTitle, Qt::CaseInsensitive);
    name.replace(QStringLiteral("[track number]"), SongTrack, Qt::CaseInsensitive);
    for (const char c : {'\\', '<', '>', '/', ':', '*', '|', '?'})
        name.remove(QLatin1Char(c));
    name.removeIf(unwanted);
    QStringList components = name.split(kMarker);
    for (QString &component : components) {
        fitName(component);
        if (onlyDotsAndSpaces(component))
            component = QStringLiteral("_");
    }
    return components.join(QLatin1Char('/'));
}

QString GetFormat(const QString &File)
{
    // Only the file's own name counts: a dot in a folder name is no extension.
    const qsizetype nameStart = std::max(File.lastIndexOf(QLatin1Char('\\')), File.lastIndexOf(QLatin1Char('/'))) + 1;
    const qsizetype dot = File.lastIndexOf(QLatin1Char('.'));
    return dot < nameStart ? QStringLiteral("dat") : File.mid(dot + 1);
}

QString TwoDigits(int Number)
{
    QString text = QString::number(Number);
    if (text.size() == 1)
        text.prepend(QLatin1Char('0'));
    return text;
}

} // namespace corvanel::extract
