#include "StopSignals.h"

#include <csignal>

namespace corvanel::platform {

namespace {

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "set from a signal handler");
std::atomic<bool> g_requested{false};
std::atomic<int> g_signal{0};
struct sigaction g_previous[2];
constexpr int kSignals[2] = {SIGINT, SIGTERM};

void onSignal(int signal)
{
    g_signal.store(signal);
    g_requested.store(true);
}

} // namespace

StopSignals::StopSignals()
{
    g_requested = false;
    g_signal = 0;
    struct sigaction action
    {
    };
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read that waits on a slow device returns, and the job sees the flag. The
    // handler is reset on the way in, so the next signal is the default one.
    action.sa_flags = SA_RESETHAND;
    for (int i = 0; i < 2; ++i)
        ::sigaction(kSignals[i], &action, &g_previous[i]);
}

StopSignals::~StopSignals()
{
    for (int i = 0; i < 2; ++i)
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
}

const std::atomic<bool> &StopSignals::requested() const
{
    return g_requested;
}

int StopSignals::signal() const
{
    return g_signal.load();
}

} // namespace corvanel::platform
