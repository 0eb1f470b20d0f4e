#include "OnTheGo.h"
#include "ByteReader.h"
#include "FileImage.h"

#include <NativePath.h>

#include <QFileInfo>
#include <algorithm>

namespace corvanel::itunesdb {

using namespace corvanel::library;

namespace {
constexpr qsizetype EntryCountAt = 12;
constexpr qsizetype EntriesAt = 20;

clsPlayList &addOnTheGo(MusicLibrary &library)
{
    clsPlayList &list = library.addPlaylist();
    list.Name = QStringLiteral("On-The-Go");
    list.onTheGo = true;
    return list;
}
} // namespace

void readOnTheGo(QByteArrayView bytes, MusicLibrary &library, LoadReport &report)
{
    clsPlayList &list = addOnTheGo(library);
    const ByteReader in(bytes);
    if (!in.fits(EntryCountAt, 4))
        return;
    const int32_t count = in.int32At(EntryCountAt);
    if (count <= 0)
        return;
    const qsizetype inFile = std::max<qsizetype>(0, (in.size() - EntriesAt) / 4);
    list.SongIDs.reserve(static_cast<std::size_t>(std::min<qsizetype>(count, inFile)));
    for (int32_t i = 0; i < count; ++i) {
        const qsizetype at = EntriesAt + 4 * static_cast<qsizetype>(i);
        if (!in.fits(at, 4)) {
            report.add(LoadProblem::Kind::OnTheGoBadEntry,
                       QStringLiteral("%1 entries announced, %2 in the file").arg(count).arg(i));
            return;
        }
        const int32_t entry = in.int32At(at);
        if (entry < 0 || entry >= library.SongCount) {
            report.add(LoadProblem::Kind::OnTheGoBadEntry, QStringLiteral("entry %1 names song %2").arg(i).arg(entry));
            return;
        }
        list.SongIDs.AddItem(songIdText(library.Songs[static_cast<std::size_t>(entry)].SongID));
    }
}

void LoadOnTheGo(MusicLibrary &library, LoadReport &report)
{
    const QString path = NativePathResolver(library.iPodDrive).resolve(QString::fromUtf16(OnTheGoStoredPath));
    if (!QFileInfo(path).isFile())
        return;
    const std::optional<FileImage> image = FileImage::read(path);
    if (!image) {
        addOnTheGo(library);
        report.add(LoadProblem::Kind::OnTheGoUnreadable, path);
        return;
    }
    readOnTheGo(image->bytes(), library, report);
}

} // namespace corvanel::itunesdb
