// The resident window under Wine, driven by the messages it gets in real life.
#include "app_test_support.h"

#include <cstring>

#include "base/app_state.h"
#include "app/resident_window.h"
#include "base/wallpaper_settings.h"
#include "wallpaper/change_pipeline.h"
#include "wallpaper/wallpaper_job.h"

namespace {

std::vector<std::pair<DWORD, NOTIFYICONDATAA>> trayCalls;
BOOL WINAPI RecordTray(DWORD action, PNOTIFYICONDATAA data) { return trayCalls.push_back({action, *data}), TRUE; }

// Takes the first posted message of that kind (the quit the window's end posts too, so the next test starts clean).
bool Posted(HWND window, UINT kind, WPARAM wParam)
{
    MSG message;
    return PeekMessageA(&message, window, kind, kind, PM_REMOVE) && message.wParam == wParam;
}
bool QuitPosted() { return Posted(nullptr, WM_QUIT, 0); }

bool menuWasUp;
void CALLBACK CloseMenu(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    GUITHREADINFO gui = {sizeof gui};
    menuWasUp = GetGUIThreadInfo(GetCurrentThreadId(), &gui) && (gui.flags & GUI_INMENUMODE);
    EndMenu();
}

class ResidentTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        trayCalls.clear(), trayNotify = RecordTray;
        appState.appIcon = CopyIcon(LoadIconA(nullptr, IDI_APPLICATION)), appState.desktopWindow = GetDesktopWindow();
        strcpy(mainJob.folder, pictures.path().c_str());
        intervalMinutes = 5;
        ASSERT_EQ(CreateResidentWindow(), 0);
        window = appState.residentWindow;
    }
    void TearDown() override
    {
        if (IsWindow(window)) DestroyWindow(window);
        QuitPosted(), UnregisterClassA(kResidentClassName, appState.instance);
        trayNotify = Shell_NotifyIconA;
        ShellTest::TearDown();
    }
    ScratchFolder pictures;
    HWND window = nullptr;
};

TEST_F(ResidentTest, HiddenWindowTrayIconMenuTimerAndCommands)
{
    EXPECT_TRUE(!IsWindowVisible(window) && GetWindowTextLengthA(window) == 0 && appState.messageOwner == window);
    EXPECT_EQ(FindWindowA(kResidentClassName, nullptr), window) << "a second start finds it by its class";
    ASSERT_EQ(trayCalls.size(), 1u);
    const NOTIFYICONDATAA& added = trayCalls[0].second;
    EXPECT_TRUE(trayCalls[0].first == NIM_ADD && added.hWnd == window && added.hIcon != nullptr &&
                added.szTip == std::string(MessageText(MSG_TITLE)));
    ICONINFO info;
    EXPECT_TRUE(GetIconInfo(appState.appIcon, &info)) << "the settings dialog still shows the program's icon";
    std::string menu;
    for (int k = 0; k < GetMenuItemCount(trayMenu); k++) {
        char text[64] = "";
        GetMenuStringA(trayMenu, k, text, sizeof text, MF_BYPOSITION);
        menu += text + ("=" + std::to_string(GetMenuItemID(trayMenu, k))) + " ";
    }
    EXPECT_EQ(menu, "設定変更=" + std::to_string(IDM_SETTINGS) + " バージョン情報=" + std::to_string(IDM_ABOUT) +
                        " 終了=" + std::to_string(IDM_EXIT) + " ");
    EXPECT_TRUE(KillTimer(window, IDT_CHANGE)) << "the interval timer runs";
    SendMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);  // Explorer started anew
    EXPECT_EQ(trayCalls.size(), 2u);

    // Only the double-click asks for the settings; only the right button pressed opens the menu.
    const UINT notify = trayCalls[0].second.uCallbackMessage;
    for (LPARAM event : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONUP, WM_MOUSEMOVE, WM_LBUTTONDBLCLK}) {
        SendMessageA(window, notify, 0, event);
        EXPECT_EQ(Posted(window, WM_COMMAND, IDM_SETTINGS), event == WM_LBUTTONDBLCLK) << event;
    }
    menuWasUp = false;
    SetTimer(nullptr, 0, 10, CloseMenu);  // runs inside the menu's modal loop
    SendMessageA(window, notify, 0, WM_RBUTTONDOWN);
    EXPECT_TRUE(menuWasUp);

    // About once, however often it is asked for while up, and no settings then; exit closes at once. A dialog
    // that opens all the same is cancelled, so that its stop question fails the test instead of a time-out.
    PostDialogScript([](HWND dialog) { Click(dialog, IDCANCEL); });
    whileBoxIsUp = [this] {
        SendMessageA(window, WM_COMMAND, IDM_ABOUT, 0);
        SendMessageA(window, WM_COMMAND, IDM_SETTINGS, 0);
        SendMessageA(window, WM_COMMAND, IDM_EXIT, 0);
    };
    SendMessageA(window, WM_COMMAND, IDM_ABOUT, 0);
    ASSERT_EQ(BoxTexts(), Shown(MSG_ABOUT));
    EXPECT_TRUE(recordedBoxes[0].owner == window && appState.uiFlags == 0 && !IsWindow(window));
    EXPECT_TRUE(trayCalls.size() == 3 && trayCalls[2].first == NIM_DELETE && trayCalls[2].second.hWnd == window);
    EXPECT_TRUE(QuitPosted() && appState.residentWindow == nullptr);
    EXPECT_EQ(CreateResidentWindow(), 1);  // the class stays taken
    EXPECT_EQ(BoxTexts(), Shown(MSG_ABOUT) + Shown(MSG_MAIN_WINDOW_FAILED));
}

TEST_F(ResidentTest, TimerTicksChangeTheWallpaperAndAFailureEndsTheProgram)
{
    WriteBytes(pictures.Child("only.bmp"), SolidBmp(8, 8));
    SendMessageA(window, WM_TIMER, 7, 0);  // any timer id
    EXPECT_TRUE(recordedBoxes.empty() && IsWindow(window) && pictureJob == &mainJob);

    // The first failure is shown once. While its box is up no settings dialog opens over it,
    // and one more failure ends the program at that moment.
    WriteBytes(pictures.Child("only.bmp"), "not a picture");
    static bool dialogOpened;  // the script outlives the test when no dialog comes
    dialogOpened = false;
    PostDialogScript([](HWND dialog) { dialogOpened = true; Click(dialog, IDCANCEL); });
    whileBoxIsUp = [this] {
        SendMessageA(window, WM_COMMAND, IDM_SETTINGS, 0);
        EXPECT_FALSE(dialogOpened) << "a settings dialog over the error's box";
        DeleteFileA(pictures.Child("only.bmp").c_str());
        SendMessageA(window, WM_TIMER, IDT_CHANGE, 0);
        EXPECT_FALSE(IsWindow(window));
    };
    SendMessageA(window, WM_TIMER, IDT_CHANGE, 0);
    EXPECT_TRUE(recordedBoxes.size() == 1 && !IsWindow(window) && QuitPosted());
}

TEST_F(ResidentTest, SettingsFromTheTrayRestartTheTimerOrEndTheProgram)
{
    // Cancelled with an interval set, the dialog asks whether to stop. No: the interval stays and a new
    // full period starts. Yes: the end, with the file left alone.
    for (int answer : {IDNO, IDYES}) {
        recordedAnswer = answer, recordedBoxes.clear();
        PostDialogScript([](HWND dialog) { Click(dialog, IDCANCEL); });
        SendMessageA(window, WM_COMMAND, IDM_SETTINGS, 0);
        EXPECT_TRUE(BoxTexts() == Shown(MSG_STOP_QUESTION) && recordedBoxes[0].type == MB_YESNO);
        EXPECT_TRUE(answer == IDYES || (IsWindow(window) && KillTimer(window, IDT_CHANGE) && intervalMinutes == 5u &&
                                        appState.messageOwner == window));
    }
    EXPECT_TRUE(!IsWindow(window) && QuitPosted() && intervalMinutes == 0u);
}

}  // namespace
