#include "FileImage.h"

#include <QFile>
#include <algorithm>
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
    if (!image.map(size, false))
        return std::nullopt;
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

std::optional<FileImage> FileImage::reserve(std::size_t capacity)
{
    FileImage image;
    if (!image.map(capacity, true))
        return std::nullopt;
    return image;
}

// Maps room for `size` bytes, not yet backed by memory (nor counted against the system's
// commit limit when `lazy`). Large images start on a huge-page boundary, so there is room
// for the alignment.
bool FileImage::map(std::size_t size, bool lazy)
{
    if (size == 0)
        return true;
    const bool huge = size >= HugePage;
    m_mappingLength = huge ? (size + HugePage - 1) / HugePage * HugePage + HugePage : size;
    void *mapping = ::mmap(nullptr, m_mappingLength, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS | (lazy ? MAP_NORESERVE : 0), -1, 0);
    if (mapping == MAP_FAILED) {
        m_mappingLength = 0;
        return false;
    }
    m_mapping = mapping;
    m_data = static_cast<char *>(mapping);
    m_capacity = size;
    if (huge) {
        const auto address = reinterpret_cast<std::uintptr_t>(mapping);
        m_data = reinterpret_cast<char *>((address + HugePage - 1) / HugePage * HugePage);
        ::madvise(m_data, (size + HugePage - 1) / HugePage * HugePage, MADV_HUGEPAGE);
    }
    return true;
}

void FileImage::finish(std::size_t size)
{
    m_size = std::min(size, m_capacity);
    if (!m_mapping)
        return;
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t unit = m_capacity >= HugePage ? HugePage : page;
    const auto start = reinterpret_cast<std::uintptr_t>(m_mapping);
    const auto keep =
        (reinterpret_cast<std::uintptr_t>(m_data) + std::max<std::size_t>(m_size, 1) + unit - 1) / unit * unit;
    if (keep < start + m_mappingLength && ::munmap(reinterpret_cast<void *>(keep), start + m_mappingLength - keep) == 0)
        m_mappingLength = keep - start;
    m_capacity = m_size;
}

FileImage::FileImage(FileImage &&other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_mapping(std::exchange(other.m_mapping, nullptr)), m_mappingLength(std::exchange(other.m_mappingLength, 0)),
      m_capacity(std::exchange(other.m_capacity, 0))
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
        m_capacity = std::exchange(other.m_capacity, 0);
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
    m_capacity = 0;
}

} // namespace corvanel::itunesdb
