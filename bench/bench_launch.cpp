// The launch of the real program (the `corvanel` beside this benchmark) on the demo iPod
// (26 songs) and on a large one (32,767 songs, 200 playlists, a file for every song), in turn
// and alternating which goes first: from the start of the process to its main window painted
// and the event loop idle, which the program reports on the pipe named by CORVANEL_READY_FD.
// Target: the large library within 1.5 times the demo's time. The display is whatever
// QT_QPA_PLATFORM says (`make bench`: offscreen); sound goes to SDL's dummy driver.
#include "IpodBuilder.h"
#include "Median.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr int kPairs = 9;
constexpr int kReadyFd = 3;
constexpr int kPatienceMs = 60000;

struct Launch
{
    std::string program;
    std::vector<std::string> environment;
};

// The program's own settings and lock folder, so that neither the user's settings nor a
// running copy change what is measured.
std::vector<std::string> launchEnvironment(const QTemporaryDir &work)
{
    const QString config = work.filePath(QStringLiteral("config"));
    const QString runtime = work.filePath(QStringLiteral("runtime"));
    QDir().mkpath(config);
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const std::vector<std::string> replaced{
        "XDG_CONFIG_HOME=", "XDG_RUNTIME_DIR=", "SDL_AUDIODRIVER=", "CORVANEL_READY_FD="};
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string entry(*e);
        if (std::none_of(replaced.begin(), replaced.end(),
                         [&](const std::string &name) { return entry.rfind(name, 0) == 0; }))
            env.push_back(entry);
    }
    env.push_back("XDG_CONFIG_HOME=" + config.toStdString());
    env.push_back("XDG_RUNTIME_DIR=" + runtime.toStdString());
    env.push_back("SDL_AUDIODRIVER=dummy");
    env.push_back("CORVANEL_READY_FD=" + std::to_string(kReadyFd));
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        env.push_back("QT_QPA_PLATFORM=offscreen");
    return env;
}

// Milliseconds from the start of the program to its "ready" line; negative on failure.
double launchOnce(const Launch &launch, const QString &ipod)
{
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ready[1], kReadyFd);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string folder = ipod.toStdString();
    std::vector<char *> argv{const_cast<char *>(launch.program.c_str()), const_cast<char *>(folder.c_str()), nullptr};
    std::vector<char *> envp;
    for (const std::string &entry : launch.environment)
        envp.push_back(const_cast<char *>(entry.c_str()));
    envp.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, launch.program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(ready[1]);
    double ms = -1;
    if (spawned == 0) {
        pollfd wait{ready[0], POLLIN, 0};
        char line[16] = {};
        if (::poll(&wait, 1, kPatienceMs) == 1 && ::read(ready[0], line, sizeof line - 1) > 0 &&
            std::string(line) == "ready\n")
            ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        // The normal way out: the settings are saved and the engine closed, as on logout.
        ::kill(pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 1000 && ::waitpid(pid, &status, WNOHANG) == 0; ++i)
            ::usleep(10000);
        if (::waitpid(pid, &status, WNOHANG) == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
    }
    ::close(ready[0]);
    return ms;
}

void printSeries(const char *name, const std::vector<double> &ms)
{
    const auto [low, high] = std::minmax_element(ms.begin(), ms.end());
    std::printf("  %-6s median %7.1f ms  (min %.1f, max %.1f, %zu runs)\n", name, median(ms), *low, *high, ms.size());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/corvanel");
    QTemporaryDir work;
    const QString demo = work.filePath(QStringLiteral("demo"));
    const QString large = work.filePath(QStringLiteral("large"));
    QString error;
    if (!QFile::exists(program) || !work.isValid() || !mkipod::makeDemoIpod(demo, &error) ||
        !mkipod::makeLargeIpod(large, 32767, 200, true, &error)) {
        std::fprintf(stderr, "cannot set up: %s\n", qPrintable(error.isEmpty() ? program : error));
        return 1;
    }
    const Launch launch{program.toStdString(), launchEnvironment(work)};
    // One launch of each first: the files in the page cache, the settings written.
    if (launchOnce(launch, demo) < 0 || launchOnce(launch, large) < 0) {
        std::fprintf(stderr, "the program did not report its window (is it built, can it show a window?)\n");
        return 1;
    }
    std::vector<double> demoMs, largeMs;
    for (int pair = 0; pair < kPairs; ++pair) {
        const bool demoFirst = pair % 2 == 0;
        const double first = launchOnce(launch, demoFirst ? demo : large);
        const double second = launchOnce(launch, demoFirst ? large : demo);
        if (first < 0 || second < 0) {
            std::fprintf(stderr, "a launch failed\n");
            return 1;
        }
        demoMs.push_back(demoFirst ? first : second);
        largeMs.push_back(demoFirst ? second : first);
        std::printf("  pair %d: demo %.1f ms, large %.1f ms\n", pair + 1, demoMs.back(), largeMs.back());
    }
    const char *platform = std::getenv("QT_QPA_PLATFORM");
    std::printf("launch to main window up (%s), %d pairs:\n", platform ? platform : "default platform", kPairs);
    printSeries("demo", demoMs);
    printSeries("large", largeMs);
    const double ratio = median(largeMs) / median(demoMs);
    std::printf("  ratio large/demo: %.2f (target <= 1.5: %s)\n", ratio, ratio <= 1.5 ? "met" : "NOT met");
    return 0;
}
