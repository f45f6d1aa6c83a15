// ReadRegValue over the real registry store.
#include <gtest/gtest.h>

#include <set>

#include "boost/reg_access.h"
#include "platform/posix/registry_read_posix.h"
#include "tests/support/temp_folder.h"

namespace brisko {
namespace {

// Forwards to the real reader and remembers which keys are still open.
class KeyCountingReader final : public RegistryReader {
public:
    explicit KeyCountingReader(RegistryReader& inner) : m_inner(inner) {}
    long OpenKey(std::uint32_t root, const std::string& path, RegKeyHandle* key) override {
        const long result = m_inner.OpenKey(root, path, key);
        if (result == kErrorSuccess) m_open.insert(*key);
        return result;
    }
    long QueryValue(RegKeyHandle key, const std::string& name, std::uint32_t* type, unsigned char* data,
                    std::uint32_t* length) override {
        return m_inner.QueryValue(key, name, type, data, length);
    }
    long CloseKey(RegKeyHandle key) override {
        m_open.erase(key);
        return m_inner.CloseKey(key);
    }
    const std::set<RegKeyHandle>& Open() const { return m_open; }

private:
    RegistryReader& m_inner;
    std::set<RegKeyHandle> m_open;
};

const std::vector<std::string> kFirefoxKey = {"SOFTWARE", "Clients", "StartMenuInternet", "FIREFOX.EXE",
                                              "shell", "open", "command"};

struct ReadCase {
    std::uint32_t root;
    const char* keyPath;
    const char* valueName;
    std::string expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.keyPath << " [" << c.valueName << "]"; }

class ReadRegValueTest : public testing::TestWithParam<ReadCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(RegistryStore(m_folder.path())
                        .Modify([](RegistryTransaction& registry) {
                            RegKey& env = registry.Hive(RegRoot::CurrentUser)->Create({"Volatile Environment"});
                            env.SetValue("HOMEPATH", MakeStringValue("\\Users\\ann"));
                            RegKey& k = registry.Hive(RegRoot::CurrentUser)->Create({"Software", "Types"});
                            k.SetValue("five", MakeDwordValue(5));
                            k.SetValue("eighty", MakeDwordValue(80));
                            k.SetValue("fifteen hundred", MakeDwordValue(1500));
                            k.SetValue("max", MakeDwordValue(4294967295u));
                            k.SetValue("short dword", {kRegDword, {0x05, 0x01}});
                            k.SetValue("binary", {kRegBinary, {0x01, 0xAB}});
                            k.SetValue("binary3", {kRegBinary, {0x0A, 0xFF, 0x00}});
                            k.SetValue("empty", MakeStringValue(""));
                            k.SetValue("zero length", {kRegSz, {}});
                            k.SetValue("long", MakeStringValue(std::string(3000, 'x')));
                            k.SetValue("fits", MakeStringValue(std::string(2047, 'y')));
                            k.SetValue("expand", {kRegExpandSz, {'%', 0, 'P', 0, '%', 0, 0, 0}});
                            k.SetValue("multi", {kRegMultiSz, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}});
                            registry.Hive(RegRoot::LocalMachine)
                                ->Create(kFirefoxKey)
                                .SetValue("", MakeStringValue("\"/usr/bin/firefox\""));
                            return Status::Ok();
                        })
                        .ok());
    }

    test::TempFolder m_folder;
};

TEST_P(ReadRegValueTest, GivesTextOrNotFound) {
    const ReadCase& c = GetParam();
    RegistryReaderPosix real(m_folder.path());
    KeyCountingReader reader(real);
    EXPECT_EQ(RegAccess::ReadRegValue(reader, c.root, c.keyPath, c.valueName), c.expected)
        << c.keyPath << " / " << c.valueName;
    EXPECT_TRUE(reader.Open().empty()) << "key left open";
}

INSTANTIATE_TEST_SUITE_P(
    Values, ReadRegValueTest,
    testing::Values(
        ReadCase{kHkeyCurrentUser, "Volatile Environment", "HOMEPATH", "\\Users\\ann"},
        ReadCase{kHkeyLocalMachine, "SOFTWARE\\Clients\\StartMenuInternet\\FIREFOX.EXE\\shell\\open\\command\\", "",
                 "\"/usr/bin/firefox\""},
        ReadCase{kHkeyCurrentUser, "Software\\Types", "five", "005"},
        ReadCase{kHkeyCurrentUser, "Software\\Types", "eighty", "080"},
        ReadCase{kHkeyCurrentUser, "Software\\Types", "fifteen hundred", "1500"},
        ReadCase{kHkeyCurrentUser, "Software\\Types", "max", "4294967295"},
        ReadCase{kHkeyCurrentUser, "Software\\Types", "short dword", "261"},
        ReadCase{kHkeyCurrentUser, "Software\\Types", "binary", "01AB"},
        ReadCase{kHkeyCurrentUser, "Software\\Types", "binary3", "0AFF00"},
        ReadCase{kHkeyCurrentUser, "Software\\Types", "empty", ""},
        ReadCase{kHkeyCurrentUser, "Software\\Types", "zero length", ""},
        ReadCase{kHkeyCurrentUser, "Software\\Types", "fits", std::string(2047, 'y')},
        ReadCase{kHkeyCurrentUser, "Software\\Types", "expand", "%P%"},
        ReadCase{kHkeyCurrentUser, "Software\\Types", "multi", std::string("a\0b", 3) + '\0'},
        ReadCase{kHkeyCurrentUser, "Software\\Types", "long", "Not Found"},
        ReadCase{kHkeyCurrentUser, "Software\\Types", "absent", "Not Found"},
        ReadCase{kHkeyCurrentUser, "Software\\Types", "", "Not Found"},
        ReadCase{kHkeyCurrentUser, "Software\\Missing", "five", "Not Found"},
        ReadCase{kHkeyLocalMachine, "Volatile Environment", "HOMEPATH", "Not Found"},
        ReadCase{0x12345678u, "Volatile Environment", "HOMEPATH", "Not Found"}));

TEST(ReadRegValue, AnEmptyStoreFindsNothing) {
    test::TempFolder folder;
    RegistryReaderPosix reader(folder / "never created");
    EXPECT_EQ(RegAccess::ReadRegValue(reader, kHkeyCurrentUser, "Volatile Environment", "HOMEPATH"), "Not Found");
}

}  // namespace
}  // namespace brisko
