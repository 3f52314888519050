// Scripted runs: a thread that drives the program's own windows as a person
// would, one action a line, for unattended runs and end-to-end tests. A
// program takes part by calling AutomateRegister in its WinMain. A run that
// does not go as the script says ends the process with a message on standard
// error and an exit code from 120 to 126 (brisel/automate/script.h).
#pragma once
#include <windows.h>

// Hands AutomateStart to the application start, which calls it right after
// the arguments are read.
void AutomateRegister();

// Runs the script named by the switch "/SCRIPT:file" or, when that switch is
// absent, by the environment variable BRISEL_SCRIPT (which a restarted copy of
// the program inherits); without either nothing of this runs. Any other switch,
// "/SCRIPTING" or "-SCRIPT file" among them, is no script switch.
void AutomateStart();

// Starts the script thread for a script file (relative names resolve against
// basedir, NULL: the current folder). Must be called on the user-interface
// thread, whose idleness the script watches. FALSE when no script is given.
BOOL AutomateRun(const char* scriptfile, const char* basedir);

// TRUE while a script drives this process.
BOOL AutomateActive();
