// Times what a list selection costs in the settings dialog: LoadPicture of the
// picture named on the command line, then one paint of the preview pane in
// each display mode; medians over several runs, in milliseconds. Not a test:
//   scripts/wine-run.sh build/win64/tools/previewbench.exe PICTURE [RUNS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/alert_user.h"
#include "base/app_state.h"
#include "settings/preview_pane.h"
#include "wallpaper/change_pipeline.h"
#include "wallpaper/picture_scan.h"

namespace {

int WINAPI PrintMessage(HWND, LPCSTR text, LPCSTR, UINT) { return std::fprintf(stderr, "%s\n", text), IDOK; }

double Milliseconds()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The dialog's list and its 210 x 158 pane, subclassed as the dialog does it.
void MakePane()
{
    WNDCLASSA parentClass{};
    parentClass.lpfnWndProc = DefWindowProcA;
    parentClass.lpszClassName = "PreviewTiming";
    RegisterClassA(&parentClass);
    HWND dialog = CreateWindowExA(WS_EX_TOPMOST, "PreviewTiming", "", WS_POPUP | WS_VISIBLE, 0, 0, 373, 220, nullptr,
                                  nullptr, nullptr, nullptr);
    pictureListBox = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 150, 200, dialog,
                                     nullptr, nullptr, nullptr);
    previewPane = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_SUNKEN, 160, 20, 212, 160, dialog, nullptr,
                                  nullptr, nullptr);
    previewDefaultProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(previewPane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PreviewPaneProc)));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return std::fprintf(stderr, "usage: previewbench PICTURE [RUNS]\n"), 2;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    alertMessageBox = PrintMessage;
    appState.uiFlags = DialogOpen;
    std::snprintf(currentPicturePath, sizeof currentPicturePath, "%s", argv[1]);
    MakePane();

    // The first paint after the load in the centre, then a repaint in each mode.
    std::vector<double> load, first, paint[3];
    for (int run = 0; run < runs; ++run) {
        double start = Milliseconds();
        if (LoadPicture(&dialogJob) != 0) return 1;
        load.push_back(Milliseconds() - start);
        GlobalUnlock(pictureBlock);
        for (int mode = -1; mode < 3; ++mode) {
            dialogJob.displayMode = mode < 0 ? 0 : mode;
            InvalidateRect(previewPane, nullptr, TRUE);
            start = Milliseconds();
            UpdateWindow(previewPane);
            GdiFlush();
            (mode < 0 ? first : paint[mode]).push_back(Milliseconds() - start);
        }
    }
    std::printf("%d x %d: load %.1f ms, first paint %.1f ms; repaint centre %.1f, tile %.1f, stretch %.1f ms "
                "(medians of %d)\n", dialogJob.sourceWidth, dialogJob.sourceHeight, Median(load), Median(first),
                Median(paint[0]), Median(paint[1]), Median(paint[2]), runs);
    return 0;
}
