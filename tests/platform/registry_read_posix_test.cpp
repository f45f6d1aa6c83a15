// RegOpenKeyA / RegQueryValueExA behaviour of the reader over the real store.
#include <gtest/gtest.h>

#include "platform/posix/registry_read_posix.h"
#include "tests/support/temp_folder.h"

namespace brisko {
namespace {

class RegistryReaderPosixTest : public testing::Test {
protected:
    void Set(const std::vector<std::string>& key, const std::string& name, RegValue value) {
        ASSERT_TRUE(RegistryStore(m_folder.path())
                        .Modify([&](RegistryTransaction& registry) {
                            registry.Hive(RegRoot::CurrentUser)->Create(key).SetValue(name, value);
                            return Status::Ok();
                        })
                        .ok());
    }
    RegKeyHandle Open(const std::string& path, long expected = kErrorSuccess) {
        RegKeyHandle key = 99;
        EXPECT_EQ(m_reader.OpenKey(kHkeyCurrentUser, path, &key), expected) << path;
        if (expected != kErrorSuccess) {
            EXPECT_EQ(key, 0u);
        }
        return key;
    }

    test::TempFolder m_folder;
    RegistryReaderPosix m_reader{m_folder.path()};
};

TEST_F(RegistryReaderPosixTest, OpensExistingKeysOnly) {
    Set({"Volatile Environment"}, "HOMEPATH", MakeStringValue("\\Users\\ann"));
    EXPECT_NE(Open("volatile environment"), 0u);
    EXPECT_NE(Open("Volatile Environment\\"), 0u);
    EXPECT_NE(Open(""), 0u);
    Open("Missing", kErrorFileNotFound);
    Open("\\Volatile Environment", kErrorFileNotFound);
    Open("Volatile Environment\\\\", kErrorFileNotFound);
    RegKeyHandle key = 0;
    EXPECT_EQ(m_reader.OpenKey(0x12345678u, "x", &key), kErrorInvalidHandle);
    EXPECT_EQ(m_reader.OpenKey(kHkeyLocalMachine, "Volatile Environment", &key), kErrorFileNotFound);
}

TEST_F(RegistryReaderPosixTest, StringsComeInTheAnsiCodePageWithTheirZero) {
    Set({"K"}, "", MakeStringValue("d\xC3\xA9"));  // "dé": 3 UTF-16 units, 4 UTF-8 bytes
    const RegKeyHandle key = Open("K\\");
    unsigned char data[8] = {};
    std::uint32_t type = 0, length = sizeof data;
    ASSERT_EQ(m_reader.QueryValue(key, "", &type, data, &length), kErrorSuccess);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 4), std::string("d\xC3\xA9", 3) + '\0');

    length = 3;  // one byte short
    EXPECT_EQ(m_reader.QueryValue(key, "", &type, data, &length), kErrorMoreData);
    EXPECT_EQ(length, 4u);
    length = 0;
    EXPECT_EQ(m_reader.QueryValue(key, "", &type, nullptr, &length), kErrorSuccess);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(m_reader.QueryValue(key, "absent", &type, data, &length), kErrorFileNotFound);
    EXPECT_EQ(m_reader.CloseKey(key), kErrorSuccess);
    EXPECT_EQ(m_reader.QueryValue(key, "", &type, data, &length), kErrorInvalidHandle);
    EXPECT_EQ(m_reader.CloseKey(key), kErrorInvalidHandle);
    EXPECT_EQ(m_reader.QueryValue(0, "", &type, data, &length), kErrorInvalidHandle);
}

TEST_F(RegistryReaderPosixTest, SeesChangesMadeAfterItLooked) {
    Set({"K", "Sub"}, "v", MakeDwordValue(1));
    const RegKeyHandle parent = Open("K");
    RegKeyHandle sub = 0;
    ASSERT_EQ(m_reader.OpenKey(parent, "sub", &sub), kErrorSuccess);  // relative to an open key
    unsigned char data[4];
    std::uint32_t type = 0, length = 4;
    ASSERT_EQ(m_reader.QueryValue(sub, "V", &type, data, &length), kErrorSuccess);
    EXPECT_EQ(data[0], 1);

    Set({"K", "Sub"}, "v", MakeDwordValue(2));
    length = 4;
    ASSERT_EQ(m_reader.QueryValue(sub, "v", &type, data, &length), kErrorSuccess);
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(data[0], 2);
}

}  // namespace
}  // namespace brisko
