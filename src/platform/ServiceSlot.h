#pragma once
// The program-wide services (the dialogs, the shell): a built-in one answers until the program
// or a test installs another; a scoped install puts the previous one back.

namespace corvanel::platform {

template <typename T> class ServiceSlot
{
public:
    explicit ServiceSlot(T &(*builtIn)()) : m_builtIn(builtIn) {}

    T &get() const { return m_installed ? *m_installed : m_builtIn(); }
    void install(T *service) { m_installed = service; }
    // The installed service, or nullptr while the built-in one answers.
    T *installed() const { return m_installed; }

private:
    T &(*m_builtIn)();
    T *m_installed = nullptr;
};

// Installs a service for the lifetime of the object and puts the previous one back.
template <typename T, T *(*Installed)(), void (*Install)(T *)> class ScopedService
{
public:
    explicit ScopedService(T &service) : m_previous(Installed()) { Install(&service); }
    ~ScopedService() { Install(m_previous); }
    ScopedService(const ScopedService &) = delete;
    ScopedService &operator=(const ScopedService &) = delete;

private:
    T *m_previous;
};

} // namespace corvanel::platform
