// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/boost/profile_fixture.h"

namespace brisko::test {

std::string ProfilesIni(const std::string& folderName, const std::string& eol) {
    return "[General]" + eol + "StartWithLastProfile=1" + eol + eol + "[Profile0]" + eol + "Name=default" + eol +
           "IsRelative=1" + eol + "Path=Profiles/" + folderName + eol;
}

ProfileFixture::ProfileFixture(const ProfileSpelling& spelling) {
    fs::create_directories(programFolder);
    const fs::path home = root / "drive_c/Users/ann" / spelling.applicationData;
    controlRoot = home / "mozillaControl/profiles/mozillaControl";
    controlFolder = controlRoot / (spelling.controlProfile + ".slt");
    controlPrefs = controlFolder / "prefs.js";
    firefoxRoot = home / "mozilla/firefox";
    profilesIni = firefoxRoot / "profiles.ini";
    firefoxFolder = firefoxRoot / "Profiles/xyz789.default";
    firefoxPrefs = firefoxFolder / "prefs.js";
}

void ProfileFixture::CreateAll(const std::string& controlContent, const std::string& firefoxContent) {
    WriteBytes(controlPrefs, controlContent);
    WriteBytes(profilesIni, ProfilesIni("xyz789.default"));
    WriteBytes(firefoxPrefs, firefoxContent);
}

}  // namespace brisko::test
