#pragma once

// Start-up of the Logwarden window: data folder, settings, log, main window. Returns the exit code.
int RunLogwarden(int argc, char** argv);
