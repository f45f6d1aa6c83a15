// The registry store on disk: transactions, safe replacement, damaged hives.
#include <gtest/gtest.h>

#include <csignal>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "winenv/file_replace.h"
#include "winenv/registry_store.h"
#include "tests/support/temp_folder.h"

namespace brisko::test {
namespace {

class RegistryStoreTest : public testing::Test {
protected:
    Status Set(const std::string& name, RegValue value, RegRoot root = RegRoot::CurrentUser) {
        return m_store.Modify([&](RegistryTransaction& registry) {
            if (RegKey* hive = registry.Hive(root)) hive->Create({"K"}).SetValue(name, std::move(value));
            return Status::Ok();
        });
    }
    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_store.Folder()))
            names.insert(entry.path().filename().string());
        return names;
    }
    std::string Hkcu() const { return m_store.HiveFile(RegRoot::CurrentUser); }

    TempFolder m_folder;
    RegistryStore m_store{m_folder.path()};
    const std::set<std::string> m_onlyHkcu{"HKEY_CURRENT_USER.reg", "registry.lock"};
};

TEST_F(RegistryStoreTest, WritesOnlyTheHivesThatChangeAndLeavesNoTemporaryFile) {
    ASSERT_TRUE(Set("v", MakeDwordValue(1)).ok());
    EXPECT_EQ(Files(), m_onlyHkcu);
    struct stat before {}, after {};
    ::stat(Hkcu().c_str(), &before);
    // Reading every hive and changing nothing writes nothing.
    ASSERT_TRUE(m_store.Modify([](RegistryTransaction& registry) {
        for (RegRoot root : kAllRegRoots) registry.Hive(root);
        return Status::Ok();
    }).ok());
    ::stat(Hkcu().c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(Files(), m_onlyHkcu);
    std::unique_ptr<RegKey> hive;
    ASSERT_TRUE(m_store.Load(RegRoot::CurrentUser, &hive).ok());
    EXPECT_EQ(*hive->Find({"k"})->Value("V"), MakeDwordValue(1));
}

TEST_F(RegistryStoreTest, FailuresLeaveTheHiveByteForByte) {
    ASSERT_TRUE(Set("v", MakeStringValue("original")).ok());
    const std::string original = ReadFileBytes(Hkcu());
    // A change that fails half way.
    EXPECT_FALSE(m_store.Modify([](RegistryTransaction& registry) {
        registry.Hive(RegRoot::CurrentUser)->Create({"K"}).SetValue("v", MakeDwordValue(2));
        return Status::Fail(1, "changed my mind");
    }).ok());
    EXPECT_EQ(ReadFileBytes(Hkcu()), original);

    // A write that fails: a file size limit stops even root, who ignores permissions.
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
    EXPECT_FALSE(status.text.empty());
    EXPECT_EQ(ReadFileBytes(Hkcu()), original);
    EXPECT_EQ(Files(), m_onlyHkcu);
}

TEST_F(RegistryStoreTest, ADamagedHiveIsNeitherReadNorOverwritten) {
    WriteFileBytes(Hkcu(), "precious text that is not a registry file");
    EXPECT_FALSE(Set("v", MakeDwordValue(1)).ok());
    EXPECT_EQ(ReadFileBytes(Hkcu()), "precious text that is not a registry file");
    std::unique_ptr<RegKey> hive;
    EXPECT_FALSE(m_store.Load(RegRoot::CurrentUser, &hive).ok());
    EXPECT_TRUE(Set("v", MakeDwordValue(1), RegRoot::LocalMachine).ok());  // other hives stay usable
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

}  // namespace
}  // namespace brisko::test
