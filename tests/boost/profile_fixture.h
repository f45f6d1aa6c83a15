// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A temporary system root holding a user's browser profiles, and byte-level file helpers.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "boost/boost_ui.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/paths_posix.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_folder.h"

namespace brisko::test {

namespace fs = std::filesystem;

// The nine lines a boost appends, written out by hand so that a slip in the program's
// table shows; and a small user preference file.
inline const std::string kNineLines =
    "user_pref(\"network.http.max-connections\", 48);\r\n"
    "user_pref(\"network.http.max-connections-per-server\", 16);\r\n"
    "user_pref(\"network.http.max-persistent-connections-per-proxy\", 8);\r\n"
    "user_pref(\"network.http.max-persistent-connections-per-server\", 4);\r\n"
    "user_pref(\"network.http.pipelining\", true);\r\n"
    "user_pref(\"network.http.proxy.pipelining\", true);\r\n"
    "user_pref(\"network.http.pipelining.maxrequests\", 100);\r\n"
    "user_pref(\"network.http.version\", \"1.1\");\r\n"
    "user_pref(\"network.http.proxy.version\", \"1.0\");\r\n";
inline const std::string kUserPrefs = "# Mozilla User Preferences\r\n\r\nuser_pref(\"browser.startup.page\", 0);\r\n";

inline std::string ReadBytes(const fs::path& file) { return ReadFileBytes(file); }
inline void WriteBytes(const fs::path& file, const std::string& bytes) { WriteFileBytes(file, bytes); }

// The usual profiles.ini: [General] section, blank line, first profile with its path on line 7.
std::string ProfilesIni(const std::string& folderName, const std::string& eol = "\r\n");

// Spelling of the folders on disk; the program builds its paths in lower case
// ("application data"), which only a case-folding mapping finds when these differ.
struct ProfileSpelling {
    std::string applicationData = "application data";
    std::string controlProfile = "abc123";  // + ".slt"
};

class ProfileFixture {
    TempFolder m_temp;

public:
    explicit ProfileFixture(const ProfileSpelling& spelling = {});

    const std::string homePath = "\\Users\\ann";
    fs::path root = m_temp.Path();             // the system root
    fs::path programFolder = root / "program";  // holds the stock control.js and fire.js
    fs::path controlRoot, controlFolder, controlPrefs;
    fs::path firefoxRoot, profilesIni, firefoxFolder, firefoxPrefs;

    // Control profile folder with prefs.js, Firefox profile with profiles.ini and prefs.js.
    void CreateAll(const std::string& controlContent, const std::string& firefoxContent);
};

// What a boost command runs on: the user ann with both profiles, the stock files beside
// the program, ann's home path in the registry, and processes and yields recorded.
struct BoostRig {
    explicit BoostRig(const ProfileSpelling& spelling = {}) : f(spelling) {
        f.CreateAll(kUserPrefs, kUserPrefs);
        WriteBytes(f.programFolder / "control.js", "stock control\r\n");
        WriteBytes(f.programFolder / "fire.js", "stock fire\r\n");
        registry.Set(kHkeyCurrentUser, "Volatile Environment", "HOMEPATH", f.homePath);
    }

    ProfileFixture f;
    std::unique_ptr<PathMapper> paths =
        std::make_unique<PathMapperPosix>(f.root.string(), f.programFolder.string());
    FakeProcessStarter processes;
    FakeStringRegistry registry;
    FakeEventPump pump;
    FileSystemPosix files;
};

// The boost commands' window side, recorded: "caption btnBoost Working..", "pointer default",
// "prompt restart", "failure <text>".
class FakeBoostUi final : public BoostUi {
public:
    void SetCaption(BoostButton button, const std::string& caption) override {
        log.push_back(std::string("caption ") + ControlName(button) + " " + caption);
    }
    int Check1Value() const override { return check1 ? check1() : 0; }
    void SetDefaultPointer() override { log.push_back("pointer default"); }
    void ShowPrompt(RestartPrompt prompt) override { log.push_back(std::string("prompt ") + WindowName(prompt)); }
    void ShowFailure(const std::string& text) override { log.push_back("failure " + text); }

    std::function<int()> check1;
    std::vector<std::string> log;
};

}  // namespace brisko::test
