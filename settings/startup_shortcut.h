// The shortcut in the user's Startup folder that runs "kestrova.exe auto" at
// every sign-in.
#pragma once

// Makes or overwrites the shortcut at appState.shortcutPath; every failure
// is silent. Leaves "exe" at the end of appState.programPath.
void CreateStartupShortcut();

// Deletes the shortcut when it is there; silent otherwise.
void DeleteStartupShortcut();
