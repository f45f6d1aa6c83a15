// Where the emulated machine lives and what its first use provides.
#include <gtest/gtest.h>

#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/registry_store.h"
#include "platform/posix/system_root.h"
#include "tests/support/temp_folder.h"

namespace brisko {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;

const std::vector<std::string> kFirefoxKey = {"SOFTWARE", "Clients", "StartMenuInternet", "FIREFOX.EXE",
                                              "shell", "open", "command"};

std::string Login() { return ::getpwuid(::geteuid())->pw_name; }

TEST(SystemRootFolder, EnvironmentDecides) {
    ScopedEnv root("BRISKO_SYSTEM_ROOT", std::nullopt);
    ScopedEnv home("HOME", "/home/ann");
    {
        ScopedEnv data("XDG_DATA_HOME", std::nullopt);
        EXPECT_EQ(SystemRootFolder(), "/home/ann/.local/share/brisko/system");
    }
    ScopedEnv data("XDG_DATA_HOME", "/data");
    EXPECT_EQ(SystemRootFolder(), "/data/brisko/system");
    ScopedEnv chosen("BRISKO_SYSTEM_ROOT", "/tmp/machine");
    EXPECT_EQ(SystemRootFolder(), "/tmp/machine");
}

class Provisioning : public testing::Test {
protected:
    std::string Root() const { return m_folder / "system"; }
    std::unique_ptr<RegKey> Hive(RegRoot root) {
        std::unique_ptr<RegKey> hive;
        EXPECT_TRUE(RegistryStore(Root()).Load(root, &hive).ok());
        return hive;
    }
    // A PATH that holds an executable firefox (or none).
    std::string FakePath(bool withFirefox) {
        const std::string bin = m_folder / "bin";
        fs::create_directories(bin);
        if (withFirefox) {
            test::WriteFileBytes(bin + "/firefox", "#!/bin/sh\n");
            ::chmod((bin + "/firefox").c_str(), 0755);
        }
        return "relative/bin:" + bin + ":/nonexistent";
    }

    test::TempFolder m_folder;
};

TEST_F(Provisioning, CreatesWhatWindowsWouldHave) {
    ScopedEnv path("PATH", FakePath(true));
    ASSERT_TRUE(ProvisionSystemRoot(Root()).ok());
    EXPECT_TRUE(fs::is_directory(Root() + "/drive_c/Users/" + Login()));
    EXPECT_TRUE(fs::is_directory(Root() + "/registry"));

    const auto user = Hive(RegRoot::CurrentUser);
    const RegKey* environment = user->Find({"Volatile Environment"});
    ASSERT_NE(environment, nullptr);
    EXPECT_EQ(*environment->Value("HOMEPATH"), MakeStringValue("\\Users\\" + Login()));
    EXPECT_EQ(*environment->Value("HOMEDRIVE"), MakeStringValue("C:"));
    const auto machine = Hive(RegRoot::LocalMachine);
    const RegKey* command = machine->Find(kFirefoxKey);
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(*command->Value(""), MakeStringValue("\"" + (m_folder / "bin/firefox") + "\""));
}

TEST_F(Provisioning, RunsAgainWithoutChangingAnything) {
    ScopedEnv path("PATH", FakePath(true));
    ASSERT_TRUE(ProvisionSystemRoot(Root()).ok());
    const std::string user = test::ReadFileBytes(Root() + "/registry/HKEY_CURRENT_USER.reg");
    const std::string machine = test::ReadFileBytes(Root() + "/registry/HKEY_LOCAL_MACHINE.reg");
    ASSERT_TRUE(ProvisionSystemRoot(Root()).ok());
    EXPECT_EQ(test::ReadFileBytes(Root() + "/registry/HKEY_CURRENT_USER.reg"), user);
    EXPECT_EQ(test::ReadFileBytes(Root() + "/registry/HKEY_LOCAL_MACHINE.reg"), machine);
}

TEST_F(Provisioning, KeepsValuesAndFoldersThatExist) {
    fs::create_directories(Root() + "/drive_c/USERS");
    ASSERT_TRUE(RegistryStore(Root())
                    .Modify([](RegistryTransaction& registry) {
                        RegKey& env = registry.Hive(RegRoot::CurrentUser)->Create({"volatile environment"});
                        env.SetValue("homepath", MakeStringValue("\\Users\\someone"));
                        registry.Hive(RegRoot::LocalMachine)
                            ->Create(kFirefoxKey)
                            .SetValue("", MakeStringValue("C:\\firefox.exe"));
                        return Status::Ok();
                    })
                    .ok());
    ScopedEnv path("PATH", FakePath(true));
    ASSERT_TRUE(ProvisionSystemRoot(Root()).ok());

    EXPECT_TRUE(fs::is_directory(Root() + "/drive_c/USERS/" + Login()));
    EXPECT_FALSE(fs::exists(Root() + "/drive_c/Users"));
    const auto user = Hive(RegRoot::CurrentUser);
    const RegKey* environment = user->Find({"Volatile Environment"});
    EXPECT_EQ(environment->Name(), "volatile environment");
    EXPECT_EQ(*environment->Value("HOMEPATH"), MakeStringValue("\\Users\\someone"));
    EXPECT_EQ(*environment->Value("HOMEDRIVE"), MakeStringValue("C:"));
    EXPECT_EQ(*Hive(RegRoot::LocalMachine)->Find(kFirefoxKey)->Value(""), MakeStringValue("C:\\firefox.exe"));
}

TEST_F(Provisioning, NoFirefoxMeansNoStartCommand) {
    ScopedEnv path("PATH", FakePath(false));
    ASSERT_TRUE(ProvisionSystemRoot(Root()).ok());
    EXPECT_EQ(Hive(RegRoot::LocalMachine)->Find(kFirefoxKey), nullptr);
}

TEST_F(Provisioning, ReportsARootItCannotCreate) {
    test::WriteFileBytes(m_folder / "file", "x");
    EXPECT_FALSE(ProvisionSystemRoot(m_folder / "file/system").ok());
}

}  // namespace
}  // namespace brisko
