#include "speedtest/download_files.h"

#include <gtest/gtest.h>

namespace brisko {
namespace {

TEST(TestFilesTest, OverridePointsEveryFileAtTheServer) {
    EXPECT_EQ(MakeTestFileTags(nullptr).tags[0], "speedtest.tele2.net/5MB.zip");
    EXPECT_TRUE(MakeTestFileTags(nullptr).problem.empty());
    const TestFileTags lan = MakeTestFileTags("192.168.1.10:8080");
    EXPECT_EQ(lan.tags[0], "192.168.1.10:8080/5MB.zip");
    EXPECT_EQ(lan.tags[2], "192.168.1.10:8080/50MB.zip");
    EXPECT_EQ(MakeTestFileTags("files.lan").tags[1], "files.lan/10MB.zip");
    for (const char* bad : {"host:", "host:0", "host:70000", "http://host", "ho st", ":80"}) {
        EXPECT_EQ(MakeTestFileTags(bad).tags[0], "speedtest.tele2.net/5MB.zip") << bad;
        EXPECT_NE(MakeTestFileTags(bad).problem.find("BRISKO_TEST_SERVER"), std::string::npos) << bad;
    }
}

}  // namespace
}  // namespace brisko
