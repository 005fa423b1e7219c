// The start-up: one copy at a time, the program's paths, the display check
// and the settings read, all before any window exists.
#pragma once

#include <windows.h>

// Held, owned, for the whole run; a second start sees it and hands over.
constexpr char kInstanceMutexName[] = "kestrova4095";

// True unless the whole command tail is "auto" in any letter case.
BOOL IsManualStart(const char* commandTail);

// 0: go on with the road of appState.manualStart; 1: end the run (another
// copy took the work, or a failure has been reported).
int InitInstance();

// The steps of InitInstance that tests take one by one.

// Brings the running copy's message box to the front, or asks its resident
// window to open the settings; beeps when neither is found.
void HandOverToRunningCopy();

// The name ends in a dot and exactly three characters (the settings file
// replaces those three with "ini").
BOOL HasThreeLetterExtension(const char* path, int pathLength);

// startupFolder + "\ミルフォス.lnk" into shortcutPath (MAX_PATH bytes);
// empty when the folder is unknown or the name would not fit.
void BuildShortcutPath(char* shortcutPath, const char* startupFolder);

// Shows the message of a settings read for the current road, marks
// settingsFailed, and gives InitInstance's result.
int ReportSettingsOutcome(int outcome);
