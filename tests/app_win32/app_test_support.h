// What the shell's tests share: a recorder in place of the message box, a
// fresh process-wide state for every test, and a scratch folder on disk.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include "base/dib_image.h"
#include "base/messages.h"

#include <functional>
#include <string>
#include <vector>

struct RecordedBox {
    HWND owner;
    std::string text, caption;
    UINT type;
};
extern std::vector<RecordedBox> recordedBoxes;
// The recorded boxes' texts, each followed by '|'; and what that gives after
// exactly one message (nothing for MSG_COUNT).
std::string BoxTexts();
std::string Shown(MessageId message);
// What a recorded box answers (IDOK unless a test wants a yes or a no), and
// what runs while it is "up", so tests can act inside its modal loop.
extern int recordedAnswer;
extern std::function<void()> whileBoxIsUp;

// Zeroes appState, the settings and both jobs, and records boxes instead of showing them.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// A fresh folder under the temporary directory, removed with all it holds.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::string& path() const { return path_; }
    std::string Child(const char* name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

std::string ReadBytes(const std::string& path);  // "<missing>" when it cannot be opened
void WriteBytes(const std::string& path, const std::string& bytes);

// A folder inside `folder` named so that the path of a 12-letter file in it is `pathLength` bytes long.
std::string DeepFolder(const ScratchFolder& folder, size_t pathLength);

// A value under HKCU\Control Panel\Desktop: its REG_SZ bytes with their zero, or "<missing>".
std::string DesktopValue(const char* name);

// A BMP file: the file header, `header`, `masks`, then biSizeImage bytes of grey, or for a 24-bit picture rows
// coloured by `bgr` (blue, green, red of the pixel at x, y counted from the top as shown).
std::string BmpFile(const DibHeader& header, const std::string& masks = "",
                    const std::function<uint32_t(int32_t x, int32_t y)>& bgr = nullptr);
// 24 bits per pixel, bottom-up (topDown: negative height), with biSizeImage filled in.
DibHeader Rgb24(int32_t width, int32_t height, bool topDown = false);
inline std::string SolidBmp(int32_t width, int32_t height) { return BmpFile(Rgb24(width, height)); }

// Dispatches whatever waits in this thread's queue (WM_QUIT excepted).
void PumpMessages();

// Runs the real settings dialog, owned by owner; script runs inside its modal
// loop once the dialog is up and its posted start-up messages are handled.
// A dialog the script leaves open is ended with 99. The dialog's result.
INT_PTR RunDialogScript(HWND owner, const std::function<void(HWND dialog)>& script);
// The same for a dialog that something else opens next.
void PostDialogScript(const std::function<void(HWND dialog)>& script);

// A click as the user makes it: the button changes state and notifies the dialog.
void Click(HWND dialog, int id);
std::string ControlText(HWND dialog, int id);
