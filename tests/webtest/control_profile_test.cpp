// The Mozilla control's profile is made where the boost looks for it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/posix/paths_posix.h"
#include "tests/platform/temp_folder.h"
#include "webtest/control_profile.h"

namespace brisko::test {
namespace {

namespace fs = std::filesystem;

// A registry holding one string value: HKCU "Volatile Environment" HOMEPATH.
class HomePathRegistry final : public RegistryReader {
public:
    std::string home;
    long OpenKey(std::uint32_t root, const std::string& path, RegKeyHandle* key) override {
        *key = (root == kHkeyCurrentUser && path == "Volatile Environment" && !home.empty()) ? 1 : 0;
        return *key ? kErrorSuccess : kErrorFileNotFound;
    }
    long QueryValue(RegKeyHandle key, const std::string& name, std::uint32_t* type, unsigned char* data,
                    std::uint32_t* length) override {
        if (key != 1 || name != "HOMEPATH") return kErrorFileNotFound;
        *type = kRegSz;
        std::copy(home.begin(), home.end(), data);
        data[home.size()] = 0;
        *length = static_cast<std::uint32_t>(home.size() + 1);
        return kErrorSuccess;
    }
    long CloseKey(RegKeyHandle) override { return kErrorSuccess; }
};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(ControlProfileTest, FirstUseMakesOneProfileFromTheStockFileAndLaterUsesReuseIt) {
    TempFolder root;
    fs::create_directories(root.Path() / "program");
    fs::create_directories(root.Path() / "system/drive_c/Users/Ann");
    std::ofstream(root.Path() / "program/control.js", std::ios::binary) << "user_pref(\"a\", 1);\r\n";
    PathMapperPosix paths((root.Path() / "system").string(), (root.Path() / "program").string());
    HomePathRegistry registry;
    registry.home = "\\users\\ann";  // letter case differs from the folder on disk

    Status error;
    const std::string folder = EnsureControlProfile(registry, paths, &error);
    ASSERT_TRUE(error.ok()) << error.text;
    const fs::path profileRoot = root.Path() / "system/drive_c/Users/Ann/application data/mozillaControl/profiles/mozillaControl";
    ASSERT_EQ(fs::path(folder).parent_path(), profileRoot);
    EXPECT_EQ(fs::path(folder).extension(), ".slt");
    EXPECT_EQ(ReadAll(fs::path(folder) / "prefs.js"), "user_pref(\"a\", 1);\r\n");

    // A boost may have changed prefs.js since: the second use keeps it and the folder.
    std::ofstream(fs::path(folder) / "prefs.js", std::ios::app) << "boosted\r\n";
    EXPECT_EQ(EnsureControlProfile(registry, paths, &error), folder);
    EXPECT_NE(ReadAll(fs::path(folder) / "prefs.js").find("boosted"), std::string::npos);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(profileRoot)) ++entries;
    EXPECT_EQ(entries, 1);  // the only thing in the root, as the boost expects
}

TEST(ControlProfileTest, WithoutStockFileAMinimalPrefsFileAndWithoutHomeAnError) {
    TempFolder root;
    PathMapperPosix paths((root.Path() / "system").string(), (root.Path() / "program").string());
    HomePathRegistry registry;
    Status error;
    EXPECT_EQ(EnsureControlProfile(registry, paths, &error), "");
    EXPECT_FALSE(error.ok());

    registry.home = "\\Users\\bob";
    const std::string folder = EnsureControlProfile(registry, paths, &error);
    ASSERT_TRUE(error.ok()) << error.text;
    EXPECT_EQ(ReadAll(fs::path(folder) / "prefs.js"), "# Mozilla User Preferences\r\n\r\n");
}

}  // namespace
}  // namespace brisko::test
