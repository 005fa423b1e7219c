#include "settings/settings_dialog.h"

// TEMPORARY: the dialog is not built yet. Until it is, it ends at once as if
// the user had cancelled it, so a manual start ends the run.
INT_PTR RunSettingsDialog(HWND)
{
    return IDCANCEL;
}
