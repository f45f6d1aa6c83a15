#include "tests/boost/profile_fixture.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <stdlib.h>

namespace brisko::test {

std::string ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

bool Exists(const fs::path& file) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(file, ec));
}

std::string ProfilesIni(const std::string& folderName, const std::string& eol) {
    return "[General]" + eol + "StartWithLastProfile=1" + eol + eol + "[Profile0]" + eol + "Name=default" + eol +
           "IsRelative=1" + eol + "Path=Profiles/" + folderName + eol;
}

ProfileFixture::ProfileFixture() : ProfileFixture(Spelling{}) {}

ProfileFixture::ProfileFixture(const Spelling& spelling) {
    std::string pattern = (fs::temp_directory_path() / "brisko-boost-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root = pattern;
    programFolder = root / "program";
    fs::create_directories(programFolder);
    const fs::path home = root / "drive_c" / "Users" / "ann" / spelling.applicationData;
    controlRoot = home / "mozillaControl" / "profiles" / "mozillaControl";
    controlFolder = controlRoot / (spelling.controlProfile + ".slt");
    controlPrefs = controlFolder / "prefs.js";
    firefoxRoot = home / "mozilla" / "firefox";
    profilesIni = firefoxRoot / "profiles.ini";
    firefoxFolder = firefoxRoot / "Profiles" / "xyz789.default";
    firefoxPrefs = firefoxFolder / "prefs.js";
}

ProfileFixture::~ProfileFixture() {
    std::error_code ec;
    fs::remove_all(root, ec);
}

void ProfileFixture::CreateAll(const std::string& controlContent, const std::string& firefoxContent) {
    WriteBytes(controlPrefs, controlContent);
    WriteBytes(profilesIni, ProfilesIni("xyz789.default"));
    WriteBytes(firefoxPrefs, firefoxContent);
}

}  // namespace brisko::test

#include "platform/posix/paths_posix.h"

namespace brisko::test {

std::map<std::string, std::string> Snapshot(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string relative = fs::relative(entry.path(), root).string();
        files[relative] = entry.is_directory() ? "<folder>" : ReadBytes(entry.path());
    }
    return files;
}

std::unique_ptr<PathMapper> MakePathMapper(const fs::path& systemRoot, const fs::path& programFolder) {
    return std::make_unique<PathMapperPosix>(systemRoot.string(), programFolder.string());
}

}  // namespace brisko::test
