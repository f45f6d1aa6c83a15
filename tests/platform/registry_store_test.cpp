// The registry store on disk: transactions, safe replacement, the lock.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

#include "platform/posix/registry_store.h"
#include "tests/support/temp_folder.h"

namespace brisko {
namespace {

namespace fs = std::filesystem;

std::set<std::string> FilesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

Status AddValue(RegistryStore& store, RegRoot root, const std::string& key, const std::string& name, RegValue value) {
    return store.Modify([&](RegistryTransaction& registry) {
        RegKey* hive = registry.Hive(root);
        if (hive) hive->Create({key}).SetValue(name, std::move(value));
        return Status::Ok();
    });
}

class RegistryStoreTest : public testing::Test {
protected:
    test::TempFolder m_folder;
    RegistryStore m_store{m_folder.path()};
    std::string Hkcu() const { return m_store.HiveFile(RegRoot::CurrentUser); }
};

TEST_F(RegistryStoreTest, WritesOnlyTheHivesThatChangeAndLeavesNoTemporaryFile) {
    ASSERT_TRUE(AddValue(m_store, RegRoot::CurrentUser, "K", "v", MakeDwordValue(1)).ok());
    EXPECT_EQ(FilesIn(m_store.Folder()), (std::set<std::string>{"HKEY_CURRENT_USER.reg", "registry.lock"}));

    struct stat before {}, after {};
    ::stat(Hkcu().c_str(), &before);
    // Reading every hive and changing nothing writes nothing.
    ASSERT_TRUE(m_store
                    .Modify([](RegistryTransaction& registry) {
                        for (RegRoot root : kAllRegRoots) registry.Hive(root);
                        return Status::Ok();
                    })
                    .ok());
    ::stat(Hkcu().c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(FilesIn(m_store.Folder()), (std::set<std::string>{"HKEY_CURRENT_USER.reg", "registry.lock"}));

    std::unique_ptr<RegKey> hive;
    ASSERT_TRUE(m_store.Load(RegRoot::CurrentUser, &hive).ok());
    EXPECT_EQ(*hive->Find({"k"})->Value("V"), MakeDwordValue(1));
}

TEST_F(RegistryStoreTest, AFailedChangeWritesNothing) {
    ASSERT_TRUE(AddValue(m_store, RegRoot::CurrentUser, "K", "v", MakeDwordValue(1)).ok());
    const std::string original = test::ReadFileBytes(Hkcu());
    const Status status = m_store.Modify([](RegistryTransaction& registry) {
        registry.Hive(RegRoot::CurrentUser)->Create({"K"}).SetValue("v", MakeDwordValue(2));
        return Status::Fail(1, "changed my mind");
    });
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(test::ReadFileBytes(Hkcu()), original);
}

TEST_F(RegistryStoreTest, AFailedWriteLeavesTheHiveByteForByte) {
    ASSERT_TRUE(AddValue(m_store, RegRoot::CurrentUser, "K", "v", MakeStringValue("original")).ok());
    const std::string original = test::ReadFileBytes(Hkcu());

    // A file size limit makes the write fail even for root, who ignores permissions.
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &limited);
    const Status status =
        AddValue(m_store, RegRoot::CurrentUser, "K", "big", {3, std::vector<std::uint8_t>(100000, 0xAB)});
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(status.ok());
    EXPECT_FALSE(status.text.empty());
    EXPECT_EQ(test::ReadFileBytes(Hkcu()), original);
    EXPECT_EQ(FilesIn(m_store.Folder()), (std::set<std::string>{"HKEY_CURRENT_USER.reg", "registry.lock"}));
}

TEST_F(RegistryStoreTest, ADamagedHiveIsNeitherReadNorOverwritten) {
    fs::create_directories(m_store.Folder());
    test::WriteFileBytes(Hkcu(), "precious text that is not a registry file");
    EXPECT_FALSE(AddValue(m_store, RegRoot::CurrentUser, "K", "v", MakeDwordValue(1)).ok());
    EXPECT_EQ(test::ReadFileBytes(Hkcu()), "precious text that is not a registry file");
    std::unique_ptr<RegKey> hive;
    EXPECT_FALSE(m_store.Load(RegRoot::CurrentUser, &hive).ok());
    // Other hives stay usable.
    EXPECT_TRUE(AddValue(m_store, RegRoot::LocalMachine, "K", "v", MakeDwordValue(1)).ok());
}

TEST_F(RegistryStoreTest, ParallelWritersLoseNoValue) {
    constexpr int kWriters = 4, kValues = 30;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([this, w] {
            RegistryStore store(m_folder.path());  // each writer its own store and lock descriptor
            for (int v = 0; v < kValues; ++v) {
                AddValue(store, RegRoot::LocalMachine, "Shared", std::to_string(w) + "." + std::to_string(v),
                         MakeDwordValue(static_cast<std::uint32_t>(v)));
            }
        });
    }
    for (std::thread& t : writers) t.join();
    std::unique_ptr<RegKey> hive;
    ASSERT_TRUE(m_store.Load(RegRoot::LocalMachine, &hive).ok());
    EXPECT_EQ(hive->Find({"shared"})->Values().size(), std::size_t{kWriters * kValues});
}

}  // namespace
}  // namespace brisko
