// Every fixed text the program shows, in one table. The texts are stored as
// code page 932 bytes (the Win32 builds compile with -fexec-charset=CP932).
#pragma once

enum MessageId {
    MSG_TITLE,               // caption of every box, tray tip, hand-over search
    MSG_NO_MEMORY,           // also loader code 1
    MSG_PICTURE_READ_FAILED, // loader code 2
    MSG_PICTURE_INVALID,     // loader code 3
    MSG_PICTURE_PROGRESSIVE, // loader code 4
    MSG_BAD_EXTENSION,
    MSG_NO_DESKTOP,
    MSG_COLOUR_DEPTH,
    MSG_SETTINGS_MISSING,
    MSG_SETTINGS_BROKEN,
    MSG_SETTINGS_NOT_SAVED,
    MSG_NO_PICTURES,
    MSG_CANNOT_OPEN_FORMAT,  // sprintf format: one %s, the path
    MSG_SHRINK_FAILED_FORMAT,// sprintf format: one %d, the stage
    MSG_TEMP_WRITE_FAILED,
    MSG_TEMP_NOT_CREATED,
    MSG_MAIN_WINDOW_FAILED,
    MSG_ABOUT,               // the About box: version line, a blank line, one closing line
    MSG_MENU_SETTINGS,       // the tray menu's three items
    MSG_MENU_ABOUT,
    MSG_MENU_EXIT,
    MSG_DIALOG_CAPTION,      // the settings dialog's caption
    MSG_STOP_QUESTION,       // the dialog's yes/no question on cancel
    MSG_FOLDER_NOT_FOUND,
    MSG_BAD_INTERVAL,
    MSG_COUNT
};

const char* MessageText(MessageId id);

// The loader's message for result codes 1 to 4 (memory, read, invalid, progressive).
const char* LoadFailureText(int code);
