#include "gui/app/Modules.h"

#include "gui/app/MainFrame.h"
#include "gui/licdb/LicDbBuildModule.h"

void InstallModules(CMainFrame& frame)
{
    CLicDbBuildModule::Install(frame);
}
