#include "settings/settings_file.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "base/alert_user.h"
#include "base/app_state.h"
#include "base/messages.h"
#include "settings/settings_format.h"
#include "base/wallpaper_settings.h"
#include "wallpaper/wallpaper_job.h"

namespace {

// Writes the settings to path through a new file beside it, so that a failed
// write never leaves a truncated kestrova.ini behind. 0 on success.
int WriteSettingsFile(const char* path)
{
    char newPath[MAX_PATH];
    FILE* file;
    int failed;

    const size_t length = strlen(path);
    if (length == 0 || length >= sizeof newPath)
        return 1;  // the program's path was never found
    // "kestrova.in~": as long as the settings file's own name, so that it fits
    // wherever that one does.
    memcpy(newPath, path, length + 1);
    newPath[length - 1] = '~';

    // A write-protected (or directory) kestrova.ini stays as it is; do not
    // rely on the move below to refuse it.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES
        && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        return 1;

    file = fopen(newPath, "w");
    if (file == nullptr)
        return 1;  // folder missing or not writable
    failed = WriteSettings(file, changeAtStart, mainJob.displayMode, intervalMinutes, mainJob.folder);
    if (fclose(file) != 0)
        failed = 1;  // the last bytes did not reach the disk
    if (!failed && !MoveFileExA(newPath, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        failed = 1;  // the old file could not be replaced
    if (failed)
        DeleteFileA(newPath);
    return failed;
}

}  // namespace

bool PathExists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

int ReadSettingsFile(const char* path)
{
    FILE* file = fopen(path, "r");
    if (file == nullptr)
        return SETTINGS_MISSING;
    int outcome = LoadSettings(file, PathExists, &mainJob);
    fclose(file);
    return outcome;
}

int SaveSettings()
{
    // The in-memory settings take the dialog's values even when the file
    // cannot be written.
    memcpy(mainJob.folder, dialogJob.folder, sizeof mainJob.folder);
    mainJob.folder[sizeof mainJob.folder - 1] = '\0';
    mainJob.displayMode = dialogJob.displayMode;

    // A shortcut made just before may have left "exe" here.
    SetFileExtension(appState.programPath, appState.programPathLength, "ini");

    if (WriteSettingsFile(appState.programPath) != 0) {
        AlertUser(MessageText(MSG_SETTINGS_NOT_SAVED));
        return 1;
    }
    return 0;
}
