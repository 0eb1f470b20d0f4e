#include "ReadyNotice.h"

#include "AfterFirstPaint.h"

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace corvanel::app {

namespace {

constexpr char kVariable[] = "CORVANEL_READY_FD";

// The descriptor named by the environment, taken once: the variable goes, and programs this
// one starts later do not inherit the descriptor.
int takeReadyDescriptor()
{
    const char *text = std::getenv(kVariable);
    if (!text)
        return -1;
    char *end = nullptr;
    const long fd = std::strtol(text, &end, 10);
    ::unsetenv(kVariable);
    if (end == text || *end != '\0' || fd < 3 || fd > 1 << 20 || ::fcntl(int(fd), F_SETFD, FD_CLOEXEC) != 0)
        return -1;
    return int(fd);
}

} // namespace

void announceReadyWhenShown(QWidget *window)
{
    const int fd = takeReadyDescriptor();
    if (fd < 0)
        return;
    afterFirstPaint(window, [fd] {
        static constexpr char kLine[] = "ready\n";
        [[maybe_unused]] const ssize_t written = ::write(fd, kLine, sizeof kLine - 1);
        ::close(fd);
    });
}

} // namespace corvanel::app
