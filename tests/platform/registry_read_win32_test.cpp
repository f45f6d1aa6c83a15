// SPDX-License-Identifier: GPL-3.0-or-later
// ReadRegValue over Wine's (or Windows') real registry, and a real process start.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "boost/reg_access.h"
#include "platform/win32/process_start_win32.h"
#include "platform/win32/registry_read_win32.h"
#include "tests/support/temp_folder.h"

namespace brisko::test {
namespace {

// A key of the test's own under HKCU\Software, removed with everything in it.
struct TestKey {
    ~TestKey() { ::RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str()); }
    void Set(const char* name, DWORD type, const std::string& bytes) {
        HKEY key = nullptr;
        ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        ::RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                         static_cast<DWORD>(bytes.size()));
        ::RegCloseKey(key);
    }
    const std::string path = "Software\\BriskoTest-" + std::to_string(::GetCurrentProcessId());
};

std::string ReadValue(std::uint32_t root, const std::string& key, const std::string& name) {
    RegistryReaderWin32 registry;
    return RegAccess::ReadRegValue(registry, root, key, name);
}

// Waits for a started program's effect, for as long as a slow machine may need.
bool Eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 600; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

TEST(RegistryReaderWin32, ReadRegValueGivesTextOrNotFound) {
    TestKey key;
    const struct {
        const char* name;
        DWORD type;  // 0: only read
        std::string bytes, expected;
    } values[] = {
        {"five", REG_DWORD, std::string("\x05\x00\x00\x00", 4), "005"},
        {"fits", REG_SZ, std::string(2047, 'y') + '\0', std::string(2047, 'y')},
        {"long", REG_SZ, std::string(2048, 'x') + '\0', "Not Found"},  // 2049 bytes with its zero
        {"", REG_SZ, std::string("default\0", 8), "default"},
        {"absent", 0, "", "Not Found"},
    };
    for (const auto& v : values) {
        if (v.type != 0) key.Set(v.name, v.type, v.bytes);
        EXPECT_EQ(ReadValue(kHkeyCurrentUser, key.path, v.name), v.expected) << "[" << v.name << "]";
    }
    EXPECT_EQ(ReadValue(kHkeyCurrentUser, key.path + "\\", ""), "default");  // a trailing backslash
    EXPECT_EQ(ReadValue(kHkeyCurrentUser, key.path + "\\Missing", "five"), "Not Found");
    EXPECT_EQ(ReadValue(kHkeyLocalMachine, key.path, "five"), "Not Found");
}

TEST(ProcessStarterWin32, StartsTheLineAsWrittenInTheFolderGiven) {
    TestKey key;
    ProcessStarterWin32 processes;
    // reg.exe splits its own arguments: quotes and escaped quotes must reach it untouched.
    const std::string line = "reg add \"HKCU\\" + key.path + "\\p q\" /v \"a b\" /t REG_SZ /d \"say \\\"hi\\\"\" /f";
    ASSERT_TRUE(processes.Start(line, WindowState::NormalActive).ok());
    EXPECT_TRUE(Eventually([&] { return ReadValue(kHkeyCurrentUser, key.path + "\\p q", "a b") == "say \"hi\""; }))
        << ReadValue(kHkeyCurrentUser, key.path + "\\p q", "a b");

    // A relative name the program is given resolves in the working folder.
    TempFolder folder;
    ASSERT_TRUE(processes.Start("cmd /c cd > here.txt", WindowState::MinimizedActive, folder.path()).ok());
    std::string here;  // complete once its line has ended
    EXPECT_TRUE(Eventually([&] { return (here = ReadFileBytes(folder / "here.txt")).find('\n') != here.npos; }));
    EXPECT_EQ(::lstrcmpiA(here.substr(0, here.find_first_of("\r\n")).c_str(), folder.path().c_str()), 0)
        << here << " / " << folder.path();

    const Status missing = processes.Start("brisko-no-such-program /s web.reg", WindowState::NormalActive);
    EXPECT_EQ(missing.code, ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(missing.text.empty());
}

}  // namespace
}  // namespace brisko::test
