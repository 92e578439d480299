#include "gui/app/Modules.h"

#include "gui/app/MainFrame.h"
#include "gui/licdb/LicDbDownloadModule.h"

void InstallModules(CMainFrame& frame)
{
    CLicDbDownloadModule::Install(frame);
}
