// What the shell's tests share: a recorder in place of the message box, a
// fresh process-wide state for every test, and a scratch folder on disk.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct RecordedBox {
    HWND owner;
    std::string text, caption;
    UINT type;
};
extern std::vector<RecordedBox> recordedBoxes;

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
