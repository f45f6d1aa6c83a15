// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_arguments.h"
#include "cli/cli_boost.h"

namespace brisko::cli {
namespace {

class FakeElevation final : public Elevation {
public:
    bool elevated = false;
    Status refusal;
    int status = 0;
    std::vector<std::vector<std::string>> runs;

    bool IsElevated() override { return elevated; }
    int RunElevated(const std::vector<std::string>& arguments, Status* error) override {
        runs.push_back(arguments);
        *error = refusal;
        return refusal.ok() ? status : -1;
    }
};

TEST(CliRightsTest, WithoutRightsTheCommandSaysSoInOneLineOrRunsAgainElevated) {
    FakeElevation elevation;
    std::ostringstream out, err;
    // Without --elevate: one line, status 1, nothing started.
    EXPECT_EQ(CheckRights(elevation, "boost", false, {"boost"}, out, err), kExitFailed);
    EXPECT_EQ(err.str(),
              "brisko-cli boost: needs administrator rights to change the machine's settings: run it with "
              "--elevate, or from a console opened with \"Run as administrator\"\n");
    EXPECT_TRUE(elevation.runs.empty());

    // With it: the whole line again, and the elevated command's status is ours, whatever it is.
    elevation.status = static_cast<int>(0xC000013Au);
    err.str("");
    const std::vector<std::string> line = {"pro-boost", "--elevate"};
    EXPECT_EQ(CheckRights(elevation, "pro-boost", true, line, out, err), elevation.status);
    ASSERT_EQ(elevation.runs.size(), 1u);
    EXPECT_EQ(elevation.runs[0], line);
    EXPECT_EQ(err.str(), "");

    // The user said no to the prompt.
    elevation.refusal = Status::Fail(1223, "The operation was canceled by the user.");
    EXPECT_EQ(CheckRights(elevation, "restore", true, {"restore", "--elevate"}, out, err), kExitFailed);
    EXPECT_NE(err.str().find("could not start with administrator rights: The operation was canceled"),
              std::string::npos);

    // Elevated already: the command goes on here, --elevate or not.
    elevation.elevated = true;
    elevation.runs.clear();
    EXPECT_FALSE(CheckRights(elevation, "boost", true, {"boost", "--elevate"}, out, err).has_value());
    EXPECT_TRUE(elevation.runs.empty());
}

}  // namespace
}  // namespace brisko::cli
