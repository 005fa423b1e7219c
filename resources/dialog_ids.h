// Control ids of the settings dialog JSEL, shared by kestrova.rc and the code.
// Plain defines: the resource compiler reads this file too.
#pragma once

#define IDC_PICTURE_LIST 1000
#define IDC_PREVIEW 1001
#define IDC_APPLY 1002
#define IDC_CHANGE_AT_START 1003
#define IDC_MINUTES 1004
#define IDC_FOLDER 1005
#define IDC_BROWSE 1006
#define IDC_NOW 1007
#define IDC_INTERVAL 1009
#define IDC_RESET 1010
#define IDC_MODE 1011
#define IDC_PICTURE_SIZE 1012
#define IDC_SCREEN_SIZE 1013
// The system's IDC_HELP names a cursor this program never loads.
#ifdef IDC_HELP
#undef IDC_HELP
#endif
#define IDC_HELP 1014
