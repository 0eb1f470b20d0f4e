#pragma once
// SIGINT and SIGTERM ask a long job without an event loop (the command line's extraction) to
// stop: the first one only sets a flag that the job checks between steps, so that it can clean
// up after itself; a second one ends the program at once, as the default would.
#include <atomic>

namespace corvanel::platform {

class StopSignals
{
public:
    StopSignals();  // one at a time per process
    ~StopSignals(); // the previous handlers come back
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // Set once a signal has come.
    const std::atomic<bool> &requested() const;
    // The signal that came, or 0.
    int signal() const;
    // The exit status of a program that stopped for it: 128 + the signal, as shells report.
    int exitStatus() const { return 128 + signal(); }
};

} // namespace corvanel::platform
