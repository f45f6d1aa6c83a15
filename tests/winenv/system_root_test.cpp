// Where the emulated machine lives and what its first use provides.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <future>

#include "platform/posix/registry_read_posix.h"
#include "winenv/registry_store.h"
#include "winenv/system_root.h"
#include "tests/support/temp_folder.h"

namespace brisko::test {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kFirefoxKey = {"SOFTWARE", "Clients", "StartMenuInternet", "FIREFOX.EXE",
                                              "shell", "open", "command"};

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

// brisko-cli enters its program folder before it starts regedit: a relative root must
// have been fixed before, for it and for the programs it starts.
TEST(SystemRootFolder, RelativeRootIsFixedOnceForUsAndOurChildren) {
    TempFolder folder;
    const fs::path before = fs::current_path();
    fs::current_path(folder.path());
    ScopedEnv root("BRISKO_SYSTEM_ROOT", "./machine");
    const std::string fixed = AnchorSystemRoot();
    fs::current_path("/");
    const std::string later = SystemRootFolder();
    const std::string inherited = std::getenv("BRISKO_SYSTEM_ROOT");
    fs::current_path(before);
    EXPECT_EQ(fixed, folder / "machine");
    EXPECT_EQ(later, fixed);
    EXPECT_EQ(inherited, fixed);
}

class Provisioning : public testing::Test {
protected:
    // PATH holds a folder with an executable firefox, with relative and missing folders around it.
    Provisioning() {
        WriteFileBytes(m_firefox, "#!/bin/sh\n");
        fs::permissions(m_firefox, fs::perms::owner_all);
    }

    std::unique_ptr<RegKey> Hive(RegRoot root) {
        std::unique_ptr<RegKey> hive;
        EXPECT_TRUE(RegistryStore(m_root).Load(root, &hive).ok());
        return hive;
    }
    std::string Hives() {
        return ReadFileBytes(m_root + "/registry/HKEY_CURRENT_USER.reg") +
               ReadFileBytes(m_root + "/registry/HKEY_LOCAL_MACHINE.reg");
    }

    TempFolder m_folder;
    const std::string m_root = m_folder / "system";
    const std::string m_firefox = m_folder / "bin/firefox";
    ScopedEnv m_path{"PATH", "relative/bin:" + (m_folder / "bin") + ":/nonexistent"};
    const std::string m_login = ::getpwuid(::geteuid())->pw_name;
};

TEST_F(Provisioning, CreatesWhatWindowsWouldHaveOnceOnly) {
    ASSERT_TRUE(ProvisionSystemRoot(m_root).ok());
    EXPECT_TRUE(fs::is_directory(m_root + "/drive_c/Users/" + m_login));
    const auto user = Hive(RegRoot::CurrentUser);
    const RegKey* environment = user->Find({"Volatile Environment"});
    ASSERT_NE(environment, nullptr);
    EXPECT_EQ(*environment->Value("HOMEPATH"), MakeStringValue("\\Users\\" + m_login));
    EXPECT_EQ(*environment->Value("HOMEDRIVE"), MakeStringValue("C:"));
    const auto machine = Hive(RegRoot::LocalMachine);
    const RegKey* command = machine->Find(kFirefoxKey);
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(*command->Value(""), MakeStringValue("\"" + m_firefox + "\""));

    const std::string hives = Hives();
    ASSERT_TRUE(ProvisionSystemRoot(m_root).ok());
    EXPECT_EQ(Hives(), hives);
}

// Every start provisions; on a machine that has everything it must not queue behind
// an import that holds the writers' lock (here: we hold it).
TEST_F(Provisioning, ReadersDoNotWaitForAWriter) {
    ASSERT_TRUE(ProvisionSystemRoot(m_root).ok());
    const int lock = ::open((m_root + "/registry/registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    auto reading = std::async(std::launch::async, [this] {
        if (!ProvisionSystemRoot(m_root).ok()) return std::string("provisioning failed");
        RegistryReaderPosix registry(m_root);
        RegKeyHandle key = 0;
        std::uint32_t type = 0, length = 64;
        unsigned char data[64] = {};
        if (registry.OpenKey(kHkeyCurrentUser, "Volatile Environment", &key) != kErrorSuccess ||
            registry.QueryValue(key, "HOMEPATH", &type, data, &length) != kErrorSuccess)
            return std::string("not read");
        registry.CloseKey(key);
        return std::string(reinterpret_cast<const char*>(data), length ? length - 1 : 0);
    });
    const bool done = reading.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    ::close(lock);
    EXPECT_TRUE(done) << "the reader waited for the lock";
    EXPECT_EQ(reading.get(), "\\Users\\" + m_login);
}

TEST_F(Provisioning, KeepsValuesAndFoldersThatExist) {
    fs::create_directories(m_root + "/drive_c/USERS");
    ASSERT_TRUE(RegistryStore(m_root).Modify([](RegistryTransaction& registry) {
        registry.Hive(RegRoot::CurrentUser)
            ->Create({"volatile environment"})
            .SetValue("homepath", MakeStringValue("\\Users\\someone"));
        registry.Hive(RegRoot::LocalMachine)->Create(kFirefoxKey).SetValue("", MakeStringValue("C:\\firefox.exe"));
        return Status::Ok();
    }).ok());
    ASSERT_TRUE(ProvisionSystemRoot(m_root).ok());

    EXPECT_TRUE(fs::is_directory(m_root + "/drive_c/USERS/" + m_login));
    EXPECT_FALSE(fs::exists(m_root + "/drive_c/Users"));
    const auto user = Hive(RegRoot::CurrentUser);
    const RegKey* environment = user->Find({"Volatile Environment"});
    EXPECT_EQ(environment->Name(), "volatile environment");
    EXPECT_EQ(environment->Values().size(), 2u);
    EXPECT_EQ(*environment->Value("HOMEPATH"), MakeStringValue("\\Users\\someone"));
    EXPECT_EQ(*environment->Value("HOMEDRIVE"), MakeStringValue("C:"));
    EXPECT_EQ(*Hive(RegRoot::LocalMachine)->Find(kFirefoxKey)->Value(""), MakeStringValue("C:\\firefox.exe"));
}

TEST_F(Provisioning, NoFirefoxMeansNoStartCommandAndABadRootIsReported) {
    EXPECT_FALSE(ProvisionSystemRoot(m_firefox + "/system").ok());  // below a file
    fs::remove(m_firefox);
    ASSERT_TRUE(ProvisionSystemRoot(m_root).ok());
    EXPECT_EQ(Hive(RegRoot::LocalMachine)->Find(kFirefoxKey), nullptr);
}

}  // namespace
}  // namespace brisko::test
