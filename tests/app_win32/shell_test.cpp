// The shell under Wine: the start-up's checks and messages, AlertUser's error
// policy, kestrova.ini on disk, and the resources and texts as Windows sees them.
#include "app_test_support.h"

#include <cstring>
#include <utility>

#include "base/alert_user.h"
#include "base/app_state.h"
#include "app/startup.h"
#include "base/messages.h"
#include "settings/settings_file.h"
#include "settings/settings_format.h"
#include "base/wallpaper_settings.h"
#include "wallpaper/wallpaper_job.h"

namespace {


TEST_F(ShellTest, CommandLineProgramPathAndShortcutPath)
{
    const std::pair<const char*, BOOL> tails[] = {{"auto", FALSE}, {"AUTO", FALSE}, {"aUtO", FALSE},
                                                  {"", TRUE}, {"auto ", TRUE}, {" auto", TRUE}, {"autox", TRUE}};
    for (const auto& t : tails)
        EXPECT_EQ(IsManualStart(t.first), t.second) << t.first;
    const std::pair<const char*, BOOL> paths[] = {{"C:\\k.exe", TRUE}, {".exe", TRUE}, {"C:\\k.exee", FALSE},
                                                  {"C:\\k.ex", FALSE}, {".exe" + 1, FALSE}, {"", FALSE}};
    for (const auto& p : paths)  // ".exe" + 1: three letters, with a dot before them that is not theirs
        EXPECT_EQ(HasThreeLetterExtension(p.first, static_cast<int>(strlen(p.first))), p.second) << p.first;
    // 15 bytes are appended: a 244-byte folder fills the buffer, a longer or empty one leaves it empty.
    char path[MAX_PATH];
    BuildShortcutPath(path, std::string(244, 'd').c_str());
    EXPECT_EQ(path, std::string(244, 'd') + "\\\x83\x7e\x83\x8b\x83\x74\x83\x48\x83\x58.lnk");
    for (const std::string& folder : {std::string(245, 'd'), std::string()}) {
        BuildShortcutPath(path, folder.c_str());
        EXPECT_STREQ(path, "") << folder.size();
    }
}

TEST_F(ShellTest, EachSettingsOutcomeOnEachRoad)
{
    const struct { int outcome; BOOL manual; int result; MessageId message; } rows[] = {
        {SETTINGS_LOADED, TRUE, 0, MSG_COUNT}, {SETTINGS_MISSING, TRUE, 0, MSG_COUNT},  // MSG_COUNT: no box
        {SETTINGS_UNUSABLE, TRUE, 0, MSG_SETTINGS_BROKEN}, {SETTINGS_LOADED, FALSE, 0, MSG_COUNT},
        {SETTINGS_MISSING, FALSE, 1, MSG_SETTINGS_MISSING}, {SETTINGS_UNUSABLE, FALSE, 1, MSG_SETTINGS_BROKEN},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.outcome << r.manual);
        SetUp();
        appState.manualStart = r.manual;
        EXPECT_EQ(ReportSettingsOutcome(r.outcome), r.result);
        EXPECT_EQ(appState.settingsFailed, r.outcome != SETTINGS_LOADED);
        EXPECT_EQ(BoxTexts(), Shown(r.message));
        EXPECT_EQ(appState.errorCount, r.message != MSG_COUNT);  // a start-up message is the first error
    }
}

TEST_F(ShellTest, AlertUserPolicy)
{
    const struct { unsigned flags; int errorsBefore; const char* shown; int errorsAfter; bool stays; } rows[] = {
        {0, 0, "text|", 1, false}, {0, 1, "", 1, false},
        {AboutOpen, 0, "text|", 1, false},  // the About box is not the settings dialog
        {DialogOpen, 0, "text|", 0, true}, {DialogOpen, 1, "text|", 1, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.flags << r.errorsBefore);
        SetUp();
        // Any window stands for the resident one: WM_CLOSE destroys it.
        appState.residentWindow = appState.messageOwner =
            CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        appState.uiFlags = r.flags;
        appState.errorCount = r.errorsBefore;
        AlertUser("text");
        EXPECT_EQ(BoxTexts(), r.shown);
        for (const RecordedBox& box : recordedBoxes)
            EXPECT_TRUE(box.owner == appState.messageOwner && box.caption == MessageText(MSG_TITLE)
                        && box.type == MB_OK);
        EXPECT_EQ(appState.errorCount, r.errorsAfter);
        EXPECT_EQ(IsWindow(appState.residentWindow) != FALSE, r.stays);
        DestroyWindow(appState.residentWindow);
    }
}

HANDLE heldIni = INVALID_HANDLE_VALUE;

// Case 0 saves over a longer old file, with "exe" left at the end of the path by
// a shortcut made just before; the others fail and leave the old file as it was.
TEST_F(ShellTest, SaveReplacesTheIniWholeOrLeavesItAsItWas)
{
    void (*const cases[])(const std::string& ini) = {
        [](const std::string&) { SetFileExtension(appState.programPath, appState.programPathLength, "exe"); },
        [](const std::string& ini) { SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_READONLY); },
        [](const std::string& ini) {  // held open by another program: it cannot be replaced
            heldIni = CreateFileA(ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        },
        [](const std::string& ini) { strcpy(appState.programPath, (ini + "\\gone\\kestrova.ini").c_str()); },
    };
    for (size_t i = 0; i < 4; i++) {
        SCOPED_TRACE(i);
        SetUp();
        ScratchFolder folder;
        const std::string ini = folder.Child("kestrova.ini");
        WriteBytes(ini, "000\r\n" + std::string(300, 'o'));
        strcpy(appState.programPath, ini.c_str());
        appState.programPathLength = static_cast<int>(ini.size());
        cases[i](ini);
        appState.programPathLength = static_cast<int>(strlen(appState.programPath));
        const std::string before = ReadBytes(ini) + std::to_string(GetFileAttributesA(ini.c_str()));
        changeAtStart = 1;
        intervalMinutes = 30;
        strcpy(dialogJob.folder, folder.path().c_str());
        dialogJob.displayMode = Stretch;
        EXPECT_EQ(SaveSettings(), i == 0 ? 0 : 1);
        EXPECT_EQ(BoxTexts(), i == 0 ? "" : Shown(MSG_SETTINGS_NOT_SAVED));
        if (i == 0)
            EXPECT_EQ(ReadBytes(ini), "1230\r\n" + folder.path());
        else
            EXPECT_EQ(ReadBytes(ini) + std::to_string(GetFileAttributesA(ini.c_str())), before);
        EXPECT_EQ(ReadBytes(folder.Child("kestrova.in~")), "<missing>");
        // In memory the new values count, whatever became of the file.
        EXPECT_EQ(mainJob.folder + std::to_string(mainJob.displayMode), folder.path() + "2");
        CloseHandle(std::exchange(heldIni, INVALID_HANDLE_VALUE));
    }
    // A settings file at the longest path the system takes is saved too.
    ScratchFolder folder;
    const std::string deep = folder.Child(std::string(246 - folder.path().size() - 1, 'd').c_str());
    CreateDirectoryA(deep.c_str(), nullptr);
    const std::string ini = deep + "\\kestrova.ini";
    ASSERT_EQ(ini.size(), 259u);
    strcpy(appState.programPath, ini.c_str());
    appState.programPathLength = 259;
    EXPECT_EQ(SaveSettings(), 0);
    EXPECT_EQ(ReadBytes(ini).substr(0, 6), "1230\r\n");
}

std::string Resource(LPCSTR name, LPCSTR type)
{
    HRSRC found = FindResourceA(nullptr, name, type);
    return found ? std::string(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                               SizeofResource(nullptr, found))
                 : "";
}

TEST(Resources, IconAndManifest)
{
    // One image, 32 x 32, 16 colours, 4 bits per pixel.
    EXPECT_EQ(Resource("ICON", MAKEINTRESOURCEA(14)).substr(4, 10), std::string("\1\0\x20\x20\x10\0\1\0\4\0", 10));
    // DPI-aware, so that the screen size is in real pixels; Vista to 11.
    const std::string manifest = Resource(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    for (const char* part : {">true</dpiAware>", ">system</dpiAwareness>", "\"Microsoft.Windows.Common-Controls\"", "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
                             "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                             "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

TEST(Resources, EveryMessageIsItsCodePage932BytesAndEveryLoaderCodeHasOne)
{
    const wchar_t* expected[MSG_COUNT + 1] = {
        L"ミルフォス", L"メモリの獲得に失敗しました", L"画像ファイルの読み込みに失敗しました",
        L"無効な画像ファイルが指定されました", L"プログレッシブJPEGはサポートしていません",
        L"プログラム(kestrova.exe)の拡張子が認識できません", L"デスクトップが認識できません",
        L"24bit以上のカラーモードでご使用ください", L"設定ファイル(kestrova.ini)が見つかりません",
        L"設定ファイル(kestrova.ini)が壊れています", L"設定ファイル(kestrova.ini)を作成できませんでした",
        L"壁紙フォルダに画像ファイルがありません", L"ファイルが開けません\n%s", L"画像の縮小に失敗しました (%d)",
        L"一時ファイル(kestrova.bmp)の書き込みに失敗しました", L"壁紙用一時ファイル(kestrova.bmp)が作成できません",
        L"メインウィンドウが作成できません", L"ミルフォス\u3000V1.2\n\nフォルダの画像から壁紙を選んで変更します",
        L"設定変更", L"バージョン情報", L"終了", L"ミルフォス\u3000V1.2", L"ミルフォスを中止しますか？",
        L"壁紙フォルダが見つかりません", L"指定時間に誤りがあります", L"",  // an id past the table
    };
    for (int id = 0; id <= MSG_COUNT; id++) {
        wchar_t wide[128];
        int length = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, MessageText(MessageId(id)), -1, wide, 128);
        EXPECT_EQ(std::wstring(wide, length > 0 ? length - 1 : 0), expected[id]) << id;
    }
    const MessageId loader[] = {MSG_PICTURE_INVALID, MSG_NO_MEMORY, MSG_PICTURE_READ_FAILED, MSG_PICTURE_INVALID,
                                MSG_PICTURE_PROGRESSIVE, MSG_PICTURE_INVALID};  // codes 0 to 5
    for (int code = 0; code <= 5; code++)
        EXPECT_STREQ(LoadFailureText(code), MessageText(loader[code])) << code;
}

}  // namespace
