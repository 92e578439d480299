#include "gui/app/Modules.h"

#include "gui/app/MainFrame.h"
#include "gui/licdb/LicDbBuildModule.h"
#include "gui/licdb/LicDbDownloadModule.h"
#include "gui/licdb/QrzModule.h"
#include "gui/log/NetLogTools.h"

void InstallModules(CMainFrame& frame)
{
    InstallNetLogTools(frame);
    CLicDbDownloadModule::Install(frame);
    CLicDbBuildModule::Install(frame);
    CQrzModule::Install(frame);
}
