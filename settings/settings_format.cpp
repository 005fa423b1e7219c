#include "settings/settings_format.h"

#include <cstring>

#include "base/wallpaper_settings.h"

namespace {

// Only the C locale's blanks, as the runtime's atoi skips them.
bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

uint32_t ParseIntervalMinutes(const char* text)
{
    while (IsBlank(*text))
        text++;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = (*text++ == '-');
    // Saturate instead of wrapping, so that no long number can come out as a
    // small interval.
    uint32_t value = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        if (value <= 1000)
            value = value * 10 + static_cast<uint32_t>(*text - '0');
    }
    if (negative && value != 0)
        return 60;  // a negative int taken as unsigned is far above 999
    if (value > 999)
        return 60;
    return value;
}

int LoadSettings(FILE* file, PathExistsFn pathExists, WallpaperJob* job)
{
    // Zeroed so that the bytes past a short first line read as 0 (interval 0).
    char line[128] = {};

    // fgets counts include the terminator: 126 and 258 bytes of text at most.
    if (fgets(line, 127, file) == nullptr)
        goto unusable;  // the file ends before the first line
    if (fgets(job->folder, 259, file) == nullptr)
        goto unusable;  // the file ends before the second line
    // The line break, when one follows the folder, stays part of the name, so
    // such a folder never exists: a file with a third line is not ours.
    if (!pathExists(job->folder))
        goto unusable;

    // Only now is the first line applied, by byte position.
    changeAtStart = (line[0] == '1') ? 1 : 0;
    // The two low bits of the mode byte; 3 names no mode and is Center.
    job->displayMode = line[1] & 3;
    if (job->displayMode == 3)
        job->displayMode = Center;
    intervalMinutes = ParseIntervalMinutes(line + 2);
    return SETTINGS_LOADED;

unusable:
    job->folder[0] = '\0';
    return SETTINGS_UNUSABLE;
}

uint32_t ParseDialogMinutes(const char* text)
{
    uint32_t value = 0;
    while (*text == ' ' || *text == '\t') text++;  // a pasted value may start with blanks
    for (; *text; text++) {
        if (*text < '0' || *text > '9') return 0;  // "1a", "1 ", "-1": not a number of minutes
        if (value <= 1000) value = value * 10 + static_cast<uint32_t>(*text - '0');  // saturates above 999
    }
    return value;
}

int WriteSettings(FILE* file, int32_t atStart, int32_t displayMode, uint32_t minutes,
                  const char* folder)
{
    if (fprintf(file, "%d%d%d\n%s", static_cast<int>(atStart), static_cast<int>(displayMode),
                static_cast<int>(minutes), folder) < 0)
        return 1;  // the runtime refused the text
    if (fflush(file) != 0 || ferror(file))
        return 1;  // the bytes did not reach the file (disk full, write error)
    return 0;
}

void SetFileExtension(char* path, int pathLength, const char* threeLetters)
{
    if (pathLength < 3)
        return;
    memcpy(path + pathLength - 3, threeLetters, 3);
    path[pathLength] = '\0';
}
