// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/program_folders.h"

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

namespace brisko {
namespace {

namespace fs = std::filesystem;

// A build tree and an installed copy side by side, each with its data.
TEST(ProgramFoldersTest, FindsDataAndHelpersInTheBuildTreeAndInAnInstall) {
    test::TempFolder root;
    const std::string build = root / "build/bin";
    const std::string prefix = root / "usr";
    const std::string shared = prefix + "/share/brisko";
    const std::string helpers = prefix + "/lib/brisko";
    const std::string bin = prefix + "/bin";
    const std::string elsewhere = root / "elsewhere";
    test::WriteFileBytes(build + "/web.reg", "REGEDIT4\r\n");
    test::WriteFileBytes(shared + "/web.reg", "REGEDIT4\r\n");
    // An install made into the build folder must not take the build's own data away.
    for (const std::string& folder : {bin, helpers, root / "bare", root / "build/share/brisko"})
        fs::create_directories(folder);

    const struct {
        std::string exeFolder;
        const char* dataDir;
        ProgramFolders expected;
    } cases[] = {
        {build, nullptr, {build, build, build}},
        {build + "/", "", {build, build, build}},
        {bin, nullptr, {shared, helpers, bin}},
        {bin + "/", nullptr, {shared, helpers, bin}},
        // reopener and regedit find the programs they start from their own folder.
        {helpers, nullptr, {shared, helpers, bin}},
        // Neither data nor an installed layout: one folder, as a copy on Windows is.
        {root / "bare", nullptr, {root / "bare", root / "bare", root / "bare"}},
        // The setting moves the data only.
        {bin, elsewhere.c_str(), {elsewhere, helpers, bin}},
    };
    for (const auto& c : cases) {
        const ProgramFolders found = FindProgramFolders(c.exeFolder, c.dataDir);
        EXPECT_EQ(found.data, c.expected.data) << c.exeFolder;
        EXPECT_EQ(found.helpers, c.expected.helpers) << c.exeFolder;
        EXPECT_EQ(found.programs, c.expected.programs) << c.exeFolder;
    }

    // $BRISKO_DATA_DIR, relative to where we were started.
    test::ScopedEnv setting("BRISKO_DATA_DIR", "mydata");
    EXPECT_EQ(FindProgramFolders(bin).data, (fs::current_path() / "mydata").string());
}

}  // namespace
}  // namespace brisko
