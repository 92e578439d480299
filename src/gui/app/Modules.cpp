#include "gui/app/Modules.h"

#include "gui/adif/AdifModule.h"
#include "gui/app/MainFrame.h"
#include "gui/audio/AudioModule.h"
#include "gui/fcc/FccBuildModule.h"
#include "gui/fcc/FccDownloadModule.h"
#include "gui/fcc/FccUpdateModule.h"
#include "gui/log/NetLogTools.h"
#include "gui/mail/BlastEmailModule.h"
#include "gui/net/NetAidsModule.h"
#include "gui/qrz/QrzModule.h"
#include "gui/shared/SharedLogModule.h"
#include "gui/web/WebModule.h"

void InstallModules(CMainFrame& frame)
{
    InstallNetLogTools(frame);
    CLicDbDownloadModule::Install(frame);
    CLicDbBuildModule::Install(frame);
    CFccUpdateModule::Install(frame);
    CAudioModule::Install(frame);
    CWebModule::Install(frame);
    CBlastEmailModule::Install(frame);
    CQrzModule::Install(frame);
    CNetAidsModule::Install(frame);
    CSharedLogModule::Install(frame);
    CAdifModule::Install(frame);
}
