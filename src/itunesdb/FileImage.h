#pragma once
#include <QByteArrayView>
#include <QString>
#include <cstddef>
#include <optional>

namespace corvanel::itunesdb {

// A private in-memory copy of a whole file. The file is open only while it is read, so the
// iPod's own file is never held; changes to the file afterwards do not reach the copy.
// Large copies sit in huge pages where the system offers them: a 30 MB database is then
// faulted in with a few dozen page faults rather than thousands.
class FileImage
{
public:
    // Reads the file whole; nothing when it cannot be opened or read.
    static std::optional<FileImage> read(const QString &path);

    FileImage(FileImage &&other) noexcept;
    FileImage &operator=(FileImage &&other) noexcept;
    FileImage(const FileImage &) = delete;
    FileImage &operator=(const FileImage &) = delete;
    ~FileImage();

    QByteArrayView bytes() const { return {m_data, static_cast<qsizetype>(m_size)}; }

private:
    FileImage() = default;
    void release();

    char *m_data = nullptr;
    std::size_t m_size = 0;
    void *m_mapping = nullptr;
    std::size_t m_mappingLength = 0;
};

} // namespace corvanel::itunesdb
