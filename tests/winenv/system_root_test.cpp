// SPDX-License-Identifier: GPL-3.0-or-later
// The emulated machine on disk: where its root lives, what its first use provides, and
// the registry store's transactions, safe replacement and damaged hives.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <future>
#include <set>

#include "boost/reg_access.h"
#include "platform/posix/registry_read_posix.h"
#include "webtest/web_test_texts.h"
#include "winenv/file_replace.h"
#include "winenv/registry_store.h"
#include "winenv/system_root.h"
#include "tests/support/temp_folder.h"

namespace brisko::test {
namespace {

namespace fs = std::filesystem;

// The environment decides. brisko-cli enters its program folder before it starts regedit:
// a relative root must have been fixed before, for it and for the programs it starts.
TEST(SystemRootFolder, RelativeRootIsFixedOnceForUsAndOurChildren) {
    ScopedEnv root("BRISKO_SYSTEM_ROOT", std::nullopt);
    ScopedEnv home("HOME", "/home/ann");
    {
        ScopedEnv data("XDG_DATA_HOME", std::nullopt);
        EXPECT_EQ(SystemRootFolder(), "/home/ann/.local/share/brisko/system");
    }
    ScopedEnv data("XDG_DATA_HOME", "/data");
    EXPECT_EQ(SystemRootFolder(), "/data/brisko/system");

    TempFolder folder;
    const fs::path before = fs::current_path();
    fs::current_path(folder.path());
    ScopedEnv chosen("BRISKO_SYSTEM_ROOT", "./machine");
    const std::string fixed = AnchorSystemRoot();
    fs::current_path("/");
    const std::string later = SystemRootFolder();
    const std::string inherited = std::getenv("BRISKO_SYSTEM_ROOT");
    fs::current_path(before);
    EXPECT_EQ(fixed, folder / "machine");
    EXPECT_EQ(later, fixed);
    EXPECT_EQ(inherited, fixed);
}

// A temporary system root and its registry store.
class RegistryStoreTest : public testing::Test {
protected:
    Status Set(const std::string& name, RegValue value, RegRoot root = RegRoot::CurrentUser) {
        return m_store.Modify([&](RegistryTransaction& registry) {
            if (RegKey* hive = registry.Hive(root)) hive->Create({"K"}).SetValue(name, std::move(value));
            return Status::Ok();
        });
    }
    // A value as the program reads it, without any lock.
    static std::string Read(const std::string& root, std::uint32_t hive, const std::string& key,
                            const std::string& name) {
        RegistryReaderPosix registry(root);
        return RegAccess::ReadRegValue(registry, hive, key, name);
    }
    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_store.Folder()))
            names.insert(entry.path().filename().string());
        return names;
    }
    std::string Hkcu() const { return m_store.HiveFile(RegRoot::CurrentUser); }

    TempFolder m_folder;
    const std::string m_root = m_folder / "system";
    RegistryStore m_store{m_root};
    const std::set<std::string> m_onlyHkcu{"HKEY_CURRENT_USER.reg", "registry.lock"};
};

// A hive is replaced whole, and only by a change that succeeds: reading every hive and
// changing nothing writes nothing; a change that fails half way, a write that fails and a
// hive that is not a registry file each leave the hive byte for byte, the others usable.
TEST_F(RegistryStoreTest, OnlyAChangeThatSucceedsReplacesAHive) {
    ASSERT_TRUE(Set("v", MakeStringValue("original")).ok());
    const std::string original = ReadFileBytes(Hkcu());
    struct stat before {}, after {};
    ::stat(Hkcu().c_str(), &before);
    ASSERT_TRUE(m_store.Modify([](RegistryTransaction& registry) {
        for (RegRoot root : kAllRegRoots) registry.Hive(root);
        return Status::Ok();
    }).ok());
    ::stat(Hkcu().c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(Files(), m_onlyHkcu);
    EXPECT_EQ(Read(m_root, kHkeyCurrentUser, "k", "V"), "original");

    EXPECT_FALSE(m_store.Modify([](RegistryTransaction& registry) {
        registry.Hive(RegRoot::CurrentUser)->Create({"K"}).SetValue("v", MakeDwordValue(2));
        return Status::Fail(1, "changed my mind");
    }).ok());
    EXPECT_EQ(ReadFileBytes(Hkcu()), original);

    // A file size limit stops even root, who ignores permissions.
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &limited);
    const Status status = Set("big", {3, std::vector<std::uint8_t>(100000, 0xAB)});
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(ReadFileBytes(Hkcu()), original);
    EXPECT_EQ(Files(), m_onlyHkcu);

    WriteFileBytes(Hkcu(), "precious text that is not a registry file");
    EXPECT_FALSE(Set("v", MakeDwordValue(1)).ok());
    EXPECT_EQ(ReadFileBytes(Hkcu()), "precious text that is not a registry file");
    EXPECT_TRUE(Set("v", MakeDwordValue(1), RegRoot::LocalMachine).ok());
}

// What writers that were killed left behind goes with the next change; a writer that
// still runs keeps its file.
TEST_F(RegistryStoreTest, StaleTemporaryFilesGoWithTheNextChange) {
    ASSERT_TRUE(Set("v", MakeDwordValue(1)).ok());
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    const std::string hive = "HKEY_CURRENT_USER.reg", marker(kTempMarker);
    const std::string stale = hive + marker + std::to_string(gone) + "-Ab12Cd";
    const std::string live = hive + marker + std::to_string(::getpid()) + "-Ab12Cd";
    for (const std::string& name : {stale, live, hive + ".Xy34Zw", std::string("notes.txt")})
        WriteFileBytes(m_store.Folder() + "/" + name, "a copy of the hive");

    ASSERT_TRUE(Set("v", MakeDwordValue(2)).ok());
    EXPECT_EQ(Files(), (std::set<std::string>{hive, "registry.lock", live, "notes.txt"}));
}

// PATH holds a folder with an executable firefox, with relative and missing folders around it.
class Provisioning : public RegistryStoreTest {
protected:
    Provisioning() {
        WriteFileBytes(m_firefox, "#!/bin/sh\n");
        fs::permissions(m_firefox, fs::perms::owner_all);
    }
    const std::string m_firefox = m_folder / "bin/firefox";
    ScopedEnv m_path{"PATH", "relative/bin:" + (m_folder / "bin") + ":/nonexistent"};
    const std::string m_login = ::getpwuid(::geteuid())->pw_name;
};

// What Windows would have, where the web test looks for it: a root that cannot be made is
// reported, folders and values that exist (in any spelling) are kept, and without Firefox
// there is no start command.
TEST_F(Provisioning, ProvidesOnlyWhatIsMissing) {
    EXPECT_FALSE(ProvisionSystemRoot(m_firefox + "/system").ok());  // below a file
    fs::create_directories(m_root + "/drive_c/USERS");
    ASSERT_TRUE(m_store.Modify([](RegistryTransaction& registry) {
        registry.Hive(RegRoot::CurrentUser)
            ->Create({"volatile environment"})
            .SetValue("homepath", MakeStringValue("\\Users\\someone"));
        return Status::Ok();
    }).ok());
    ASSERT_TRUE(ProvisionSystemRoot(m_root).ok());
    EXPECT_TRUE(fs::is_directory(m_root + "/drive_c/USERS/" + m_login));
    EXPECT_FALSE(fs::exists(m_root + "/drive_c/Users"));
    EXPECT_EQ(Read(m_root, kHkeyCurrentUser, "Volatile Environment", "HOMEPATH"), "\\Users\\someone");
    EXPECT_EQ(Read(m_root, kHkeyCurrentUser, "Volatile Environment", "HOMEDRIVE"), "C:");
    EXPECT_EQ(Read(m_root, kHkeyLocalMachine, webtext::kFirefoxCommandKey, ""), "\"" + m_firefox + "\"");

    fs::remove(m_firefox);
    ASSERT_TRUE(ProvisionSystemRoot(m_folder / "bare").ok());
    EXPECT_EQ(Read(m_folder / "bare", kHkeyLocalMachine, webtext::kFirefoxCommandKey, ""), "Not Found");
}

// Every start provisions; on a machine that has everything it must not queue behind
// an import that holds the writers' lock (here: we hold it).
TEST_F(Provisioning, ReadersDoNotWaitForAWriter) {
    ASSERT_TRUE(ProvisionSystemRoot(m_root).ok());
    const int lock = ::open((m_root + "/registry/registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    auto reading = std::async(std::launch::async, [this] {
        if (!ProvisionSystemRoot(m_root).ok()) return std::string("provisioning failed");
        return Read(m_root, kHkeyCurrentUser, "Volatile Environment", "HOMEPATH");
    });
    const bool done = reading.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    ::close(lock);
    EXPECT_TRUE(done) << "the reader waited for the lock";
    EXPECT_EQ(reading.get(), "\\Users\\" + m_login);
}

}  // namespace
}  // namespace brisko::test
