#include "FileImage.h"

#include <QFile>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace corvanel::itunesdb {

namespace {

constexpr std::size_t HugePage = std::size_t(2) << 20;

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

std::optional<FileImage> FileImage::read(const QString &path)
{
    const FileDescriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return std::nullopt;
    struct stat info
    {
    };
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0)
        return std::nullopt;

    FileImage image;
    const auto size = static_cast<std::size_t>(info.st_size);
    if (size > 0) {
        // Large copies start on a huge-page boundary, so there is room for the alignment.
        const bool huge = size >= HugePage;
        image.m_mappingLength = huge ? (size + HugePage - 1) / HugePage * HugePage + HugePage : size;
        void *mapping =
            ::mmap(nullptr, image.m_mappingLength, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED)
            return std::nullopt;
        image.m_mapping = mapping;
        image.m_data = static_cast<char *>(mapping);
        if (huge) {
            const auto address = reinterpret_cast<std::uintptr_t>(mapping);
            image.m_data = reinterpret_cast<char *>((address + HugePage - 1) / HugePage * HugePage);
            ::madvise(image.m_data, (size + HugePage - 1) / HugePage * HugePage, MADV_HUGEPAGE);
        }
    }
    // A file that shrinks while it is read gives what was there; one that grows, its first bytes.
    while (image.m_size < size) {
        const ssize_t got = ::read(fd.get(), image.m_data + image.m_size, size - image.m_size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        image.m_size += static_cast<std::size_t>(got);
    }
    return image;
}

FileImage::FileImage(FileImage &&other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_mapping(std::exchange(other.m_mapping, nullptr)), m_mappingLength(std::exchange(other.m_mappingLength, 0))
{
}

FileImage &FileImage::operator=(FileImage &&other) noexcept
{
    if (this != &other) {
        release();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_mapping = std::exchange(other.m_mapping, nullptr);
        m_mappingLength = std::exchange(other.m_mappingLength, 0);
    }
    return *this;
}

FileImage::~FileImage()
{
    release();
}

void FileImage::release()
{
    if (m_mapping)
        ::munmap(m_mapping, m_mappingLength);
    m_mapping = nullptr;
    m_data = nullptr;
    m_size = 0;
}

} // namespace corvanel::itunesdb
