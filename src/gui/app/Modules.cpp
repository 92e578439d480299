#include "gui/app/Modules.h"

#include "gui/app/MainFrame.h"
#include "gui/audio/AudioModule.h"
#include "gui/licdb/LicDbBuildModule.h"
#include "gui/licdb/LicDbDownloadModule.h"
#include "gui/licdb/QrzModule.h"
#include "gui/log/NetLogTools.h"
#include "gui/mail/BlastEmailModule.h"
#include "gui/web/WebModule.h"

void InstallModules(CMainFrame& frame)
{
    InstallNetLogTools(frame);
    CLicDbDownloadModule::Install(frame);
    CLicDbBuildModule::Install(frame);
    CAudioModule::Install(frame);
    CWebModule::Install(frame);
    CBlastEmailModule::Install(frame);
    CQrzModule::Install(frame);
}
