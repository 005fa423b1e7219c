// Shared by the shell's tests: a message box recorder, fresh process-wide state per test, scratch folders.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include "base/dib_image.h"
#include "base/messages.h"

#include <functional>
#include <string>
#include <vector>

struct RecordedBox { HWND owner; std::string text, caption; UINT type; };
extern std::vector<RecordedBox> recordedBoxes;
std::string BoxTexts();             // each box's text followed by '|'
std::string Shown(MessageId message);  // BoxTexts() after that one message; "" for MSG_COUNT
extern int recordedAnswer;             // what a recorded box answers
extern std::function<void()> whileBoxIsUp;  // runs inside the next box's modal loop

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
// A folder in `folder` such that a 12-letter file in it has a `pathLength`-byte path.
std::string DeepFolder(const ScratchFolder& folder, size_t pathLength);
// A REG_SZ under HKCU\Control Panel\Desktop with its zero, or "<missing>".
std::string DesktopValue(const char* name);

// A BMP file: `header`, `masks`, then biSizeImage bytes of grey, or for 24 bits rows
// coloured by bgr(x, y), y counted from the top as shown.
std::string BmpFile(const DibHeader& header, const std::string& masks = "",
                    const std::function<uint32_t(int32_t x, int32_t y)>& bgr = nullptr);
DibHeader Rgb24(int32_t width, int32_t height, bool topDown = false);  // biSizeImage filled in
inline std::string SolidBmp(int32_t width, int32_t height) { return BmpFile(Rgb24(width, height)); }

void PumpMessages();  // this thread's queue, WM_QUIT excepted

// Runs the real settings dialog; script runs inside its modal loop once it is up.
// A dialog the script leaves open ends with 99.
INT_PTR RunDialogScript(HWND owner, const std::function<void(HWND dialog)>& script);
void PostDialogScript(const std::function<void(HWND dialog)>& script);  // for a dialog opened elsewhere

void Click(HWND dialog, int id);  // as the user clicks: state changes and the dialog is told
std::string ControlText(HWND dialog, int id);
