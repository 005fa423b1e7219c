#include "wallpaper/random_change.h"

#include <cstdlib>

#include "base/alert_user.h"
#include "base/messages.h"
#include "wallpaper/change_pipeline.h"
#include "wallpaper/picture_scan.h"

void ChangeWallpaperAtRandom()
{
    const int count = ScanPictureFolder(nullptr, -1, mainJob.folder);
    if (count > 0) {
        const int pick = rand() % count;
        // The folder may have changed since the count, and a name may not fit a path.
        if (ScanPictureFolder(nullptr, pick, mainJob.folder) == pick &&
            JoinPath(currentPicturePath, mainJob.folder, findData.cFileName)) {
            ChangeWallpaper(&mainJob);
            return;
        }
    }
    AlertUser(MessageText(MSG_NO_PICTURES));
}
