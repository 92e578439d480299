#include "gui/app/Modules.h"

#include "gui/app/MainFrame.h"

void InstallModules(CMainFrame& frame)
{
    (void)frame;
}
