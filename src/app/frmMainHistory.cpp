// The main window's export of the iPod's play history.
#include "frmMain.h"

#include "PlayHistoryDialog.h"
#include "PlayLedger.h"

#include <QStandardPaths>

namespace corvanel::app {

void frmMain::mnuExportPlays_Click()
{
    exportPlayHistory(m_library, corvanel::history::PlayLedger::defaultFolder(),
                      QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

} // namespace corvanel::app
