// ReadRegValue over the real registry store.
#include <gtest/gtest.h>

#include <set>

#include "boost/reg_access.h"
#include "platform/posix/registry_read_posix.h"
#include "tests/support/temp_folder.h"

namespace brisko::test {
namespace {

// Forwards to the real reader and remembers which keys are still open.
class KeyCountingReader final : public RegistryReader {
public:
    explicit KeyCountingReader(RegistryReader& inner) : m_inner(inner) {}
    long OpenKey(std::uint32_t root, const std::string& path, RegKeyHandle* key) override {
        const long result = m_inner.OpenKey(root, path, key);
        if (result == kErrorSuccess) open.insert(*key);
        return result;
    }
    long QueryValue(RegKeyHandle key, const std::string& name, std::uint32_t* type, unsigned char* data,
                    std::uint32_t* length) override {
        return m_inner.QueryValue(key, name, type, data, length);
    }
    long CloseKey(RegKeyHandle key) override {
        open.erase(key);
        return m_inner.CloseKey(key);
    }
    std::set<RegKeyHandle> open;

private:
    RegistryReader& m_inner;
};

TEST(ReadRegValue, GivesTextOrNotFound) {
    const std::vector<std::pair<const char*, RegValue>> values = {
        {"five", MakeDwordValue(5)},
        {"fifteen hundred", MakeDwordValue(1500)},
        {"max", MakeDwordValue(4294967295u)},
        {"short dword", {kRegDword, {0x05, 0x01}}},
        {"binary", {kRegBinary, {0x0A, 0xFF, 0x00}}},
        {"empty", MakeStringValue("")},
        {"zero length", {kRegSz, {}}},
        {"accented", MakeStringValue("d\xC3\xA9")},
        {"fits", MakeStringValue(std::string(2047, 'y'))},
        {"long", MakeStringValue(std::string(2048, 'x'))},
        {"expand", {kRegExpandSz, {'%', 0, 'P', 0, '%', 0, 0, 0}}},
        {"multi", {kRegMultiSz, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}}},
    };
    TempFolder folder;
    ASSERT_TRUE(RegistryStore(folder.path()).Modify([&](RegistryTransaction& registry) {
        RegKey& types = registry.Hive(RegRoot::CurrentUser)->Create({"Software", "Types"});
        for (const auto& [name, value] : values) types.SetValue(name, value);
        registry.Hive(RegRoot::LocalMachine)
            ->Create({"SOFTWARE", "Clients", "StartMenuInternet", "FIREFOX.EXE", "shell", "open", "command"})
            .SetValue("", MakeStringValue("\"/usr/bin/firefox\""));
        return Status::Ok();
    }).ok());

    const struct {
        std::uint32_t root;
        const char* keyPath;
        const char* valueName;
        std::string expected;
    } cases[] = {
        {kHkeyLocalMachine, "SOFTWARE\\Clients\\StartMenuInternet\\FIREFOX.EXE\\shell\\open\\command\\", "",
         "\"/usr/bin/firefox\""},
        {kHkeyCurrentUser, "Software\\Types", "five", "005"},
        {kHkeyCurrentUser, "software\\TYPES", "FIFTEEN HUNDRED", "1500"},
        {kHkeyCurrentUser, "Software\\Types", "max", "4294967295"},
        {kHkeyCurrentUser, "Software\\Types", "short dword", "261"},
        {kHkeyCurrentUser, "Software\\Types", "binary", "0AFF00"},
        {kHkeyCurrentUser, "Software\\Types", "empty", ""},
        {kHkeyCurrentUser, "Software\\Types", "zero length", ""},
        {kHkeyCurrentUser, "Software\\Types", "accented", "d\xC3\xA9"},
        {kHkeyCurrentUser, "Software\\Types", "fits", std::string(2047, 'y')},
        {kHkeyCurrentUser, "Software\\Types", "long", "Not Found"},  // 2049 bytes with its zero
        {kHkeyCurrentUser, "Software\\Types", "expand", "%P%"},
        {kHkeyCurrentUser, "Software\\Types", "multi", std::string("a\0b", 3) + '\0'},
        {kHkeyCurrentUser, "Software\\Types", "absent", "Not Found"},
        {kHkeyCurrentUser, "Software\\Types", "", "Not Found"},
        {kHkeyCurrentUser, "Software\\Missing", "five", "Not Found"},
        {kHkeyCurrentUser, "\\Software\\Types", "five", "Not Found"},
        {kHkeyLocalMachine, "Software\\Types", "five", "Not Found"},
        {0x12345678u, "Software\\Types", "five", "Not Found"},
    };
    RegistryReaderPosix real(folder.path());
    KeyCountingReader reader(real);
    for (const auto& c : cases) {
        EXPECT_EQ(RegAccess::ReadRegValue(reader, c.root, c.keyPath, c.valueName), c.expected)
            << c.keyPath << " [" << c.valueName << "]";
        EXPECT_TRUE(reader.open.empty()) << "key left open";
    }
    RegistryReaderPosix never(folder / "never created");
    EXPECT_EQ(RegAccess::ReadRegValue(never, kHkeyCurrentUser, "Software\\Types", "five"), "Not Found");
}

}  // namespace
}  // namespace brisko::test
