// kestrova.ini on disk: read once at start-up, written by the settings dialog.
#pragma once

// GetFileAttributesA succeeds: a folder or a plain file of that name exists.
bool PathExists(const char* path);

// Opens the settings file for reading in text mode and loads it into the
// settings (mainJob's mode and folder among them). SETTINGS_MISSING when it
// cannot be opened; otherwise what LoadSettings gives. Shows nothing.
int ReadSettingsFile(const char* path);

// Takes dialogJob's folder and mode into the saved settings, then writes all
// four to kestrova.ini (appState.programPath with "ini" as its last three
// characters). The old file is replaced only once the new text is entirely
// on disk, and a write-protected file is never replaced. 0: saved; 1: failed,
// after "設定ファイル(kestrova.ini)を作成できませんでした" was shown; the
// old file is then as it was, and the in-memory settings hold the new values.
int SaveSettings();
