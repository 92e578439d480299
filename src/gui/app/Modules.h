#pragma once

class CMainFrame;

// Connects the commands of the program's subsystems (licence databases, web exchange, mail, audio...)
// to the main window's actions. Each subsystem adds one call in Modules.cpp.
void InstallModules(CMainFrame& frame);
