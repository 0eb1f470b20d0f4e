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
    // An empty image with room for `capacity` bytes that are written in place (an inflated
    // database): address space only, until written. Nothing when it cannot be had.
    static std::optional<FileImage> reserve(std::size_t capacity);

    FileImage(FileImage &&other) noexcept;
    FileImage &operator=(FileImage &&other) noexcept;
    FileImage(const FileImage &) = delete;
    FileImage &operator=(const FileImage &) = delete;
    ~FileImage();

    QByteArrayView bytes() const { return {m_data, static_cast<qsizetype>(m_size)}; }
    // The room of a reserved image, and its end: the image then holds its first `size` bytes,
    // and the room past them is given back.
    char *room() { return m_data; }
    void finish(std::size_t size);

private:
    FileImage() = default;
    bool map(std::size_t size, bool lazy);
    void release();

    char *m_data = nullptr;
    std::size_t m_size = 0;
    void *m_mapping = nullptr;
    std::size_t m_mappingLength = 0;
    std::size_t m_capacity = 0;
};

} // namespace corvanel::itunesdb
