// The program's resources and fixed texts as Windows sees them: the icon, the
// version, the manifest, and every message as code page 932 bytes.
#include "app_test_support.h"

#include <cstring>
#include <string>

#include "resources/messages.h"

namespace {

std::wstring FromCodePage932(const char* bytes)
{
    wchar_t wide[512];
    int length = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, -1, wide, 512);
    return length > 0 ? std::wstring(wide, static_cast<size_t>(length - 1)) : L"<invalid>";
}

TEST(Resources, IconIsOne32By32ImageIn16Colours)
{
    HRSRC found = FindResourceA(nullptr, "ICON", MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    ASSERT_NE(found, nullptr);
    ASSERT_GE(SizeofResource(nullptr, found), 6u + 14u);
    const auto* group = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
    EXPECT_EQ(group[4] | group[5] << 8, 1);  // one image
    const BYTE* entry = group + 6;
    EXPECT_EQ(entry[0], 32);                  // width
    EXPECT_EQ(entry[1], 32);                  // height
    EXPECT_EQ(entry[2], 16);                  // colours
    EXPECT_EQ(entry[6] | entry[7] << 8, 4);   // bits per pixel

    HICON icon = LoadIconA(GetModuleHandleA(nullptr), "ICON");
    ASSERT_NE(icon, nullptr);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP mask = {};
    GetObjectA(info.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(mask.bmWidth, 32);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
}

TEST(Resources, VersionNamesTheProgram)
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    DWORD size = GetFileVersionInfoSizeA(path, nullptr);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, &block[0]));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(&block[0], "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    wchar_t* product = nullptr;
    ASSERT_TRUE(VerQueryValueW(&block[0], L"\\StringFileInfo\\041104B0\\ProductName",
                               reinterpret_cast<void**>(&product), &length));
    EXPECT_EQ(std::wstring(product), L"ミルフォス");
}

TEST(Resources, ManifestDeclaresDpiAwarenessAndWindowsVersions)
{
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                         SizeofResource(nullptr, found));
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
    EXPECT_NE(manifest.find(">system</dpiAwareness>"), std::string::npos);
    const char* windowsVersions[] = {
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
    };
    for (const char* id : windowsVersions)
        EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"") + id + "\"/>"), std::string::npos) << id;
}

TEST(Messages, EveryTextIsItsCodePage932Bytes)
{
    const wchar_t* expected[MSG_COUNT] = {
        L"ミルフォス",
        L"メモリの獲得に失敗しました",
        L"画像ファイルの読み込みに失敗しました",
        L"無効な画像ファイルが指定されました",
        L"プログレッシブJPEGはサポートしていません",
        L"プログラム(kestrova.exe)の拡張子が認識できません",
        L"デスクトップが認識できません",
        L"24bit以上のカラーモードでご使用ください",
        L"設定ファイル(kestrova.ini)が見つかりません",
        L"設定ファイル(kestrova.ini)が壊れています",
        L"設定ファイル(kestrova.ini)を作成できませんでした",
        L"壁紙フォルダに画像ファイルがありません",
        L"ファイルが開けません\n%s",
        L"画像の縮小に失敗しました (%d)",
        L"一時ファイル(kestrova.bmp)の書き込みに失敗しました",
        L"壁紙用一時ファイル(kestrova.bmp)が作成できません",
        L"メインウィンドウが作成できません",
    };
    for (int id = 0; id < MSG_COUNT; id++)
        EXPECT_EQ(FromCodePage932(MessageText(static_cast<MessageId>(id))), expected[id]) << id;
    EXPECT_STREQ(MessageText(MSG_TITLE), "\x83\x7e\x83\x8b\x83\x74\x83\x48\x83\x58");
    EXPECT_STREQ(MessageText(MSG_COUNT), "");

    // The loader's codes 1 to 4, in the order of its table.
    EXPECT_STREQ(LoadFailureText(1), MessageText(MSG_NO_MEMORY));
    EXPECT_STREQ(LoadFailureText(2), MessageText(MSG_PICTURE_READ_FAILED));
    EXPECT_STREQ(LoadFailureText(3), MessageText(MSG_PICTURE_INVALID));
    EXPECT_STREQ(LoadFailureText(4), MessageText(MSG_PICTURE_PROGRESSIVE));
}

}  // namespace
