// The program's fixed texts. Written here in UTF-8; the Win32 builds store
// them as code page 932 bytes, the bytes the ANSI message box expects.
#include "base/messages.h"

namespace {

// In MessageId order; the static_assert below keeps the two in step.
const char* const messageTexts[] = {
    "ミルフォス",
    "メモリの獲得に失敗しました",
    "画像ファイルの読み込みに失敗しました",
    "無効な画像ファイルが指定されました",
    "プログレッシブJPEGはサポートしていません",
    "プログラム(kestrova.exe)の拡張子が認識できません",
    "デスクトップが認識できません",
    "24bit以上のカラーモードでご使用ください",
    "設定ファイル(kestrova.ini)が見つかりません",
    "設定ファイル(kestrova.ini)が壊れています",
    "設定ファイル(kestrova.ini)を作成できませんでした",
    "壁紙フォルダに画像ファイルがありません",
    "ファイルが開けません\n%s",
    "画像の縮小に失敗しました (%d)",
    "一時ファイル(kestrova.bmp)の書き込みに失敗しました",
    "壁紙用一時ファイル(kestrova.bmp)が作成できません",
    "メインウィンドウが作成できません",
    "ミルフォス　V1.2\n\nフォルダの画像から壁紙を選んで変更します",
    "設定変更",
    "バージョン情報",
    "終了",
    "ミルフォス　V1.2",
    "ミルフォスを中止しますか？",
    "壁紙フォルダが見つかりません",
    "指定時間に誤りがあります",
};

static_assert(sizeof(messageTexts) / sizeof(messageTexts[0]) == MSG_COUNT,
              "one text for every message id");

}  // namespace

const char* MessageText(MessageId id)
{
    // An id from outside the table shows an empty box rather than reading past it.
    if (static_cast<unsigned>(id) >= static_cast<unsigned>(MSG_COUNT))
        return "";
    return messageTexts[id];
}

const char* LoadFailureText(int code)
{
    switch (code) {
    case 1: return messageTexts[MSG_NO_MEMORY];
    case 2: return messageTexts[MSG_PICTURE_READ_FAILED];
    case 4: return messageTexts[MSG_PICTURE_PROGRESSIVE];
    // 3, and any code a loader should never give: the file is not a picture we can use.
    default: return messageTexts[MSG_PICTURE_INVALID];
    }
}
