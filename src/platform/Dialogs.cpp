#include "Dialogs.h"

#include "QtDialogs.h"

namespace corvanel {

namespace {

Dialogs *g_installed = nullptr;

Dialogs &builtInDialogs()
{
    static QtDialogs instance;
    return instance;
}

} // namespace

Dialogs &dialogs()
{
    return g_installed ? *g_installed : builtInDialogs();
}

void setDialogs(Dialogs *service)
{
    g_installed = service;
}

Dialogs *installedDialogs()
{
    return g_installed;
}

} // namespace corvanel
