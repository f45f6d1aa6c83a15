// ReadRegValue over the real registry store.
#include <gtest/gtest.h>

#include <set>

#include "boost/reg_access.h"
#include "platform/posix/registry_read_posix.h"
#include "tests/support/temp_folder.h"

namespace brisko::test {
namespace {

// Forwards to the real reader and remembers which keys are still open.
struct KeyCountingReader final : RegistryReader {
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
    RegistryReader& m_inner;
};

// Each value below HKCU\Software\Types as text, then other lookups.
TEST(ReadRegValue, GivesTextOrNotFound) {
    const struct {
        const char* name;
        RegValue value;
        std::string expected;
    } values[] = {
        {"five", MakeDwordValue(5), "005"},
        {"fifteen hundred", MakeDwordValue(1500), "1500"},
        {"max", MakeDwordValue(4294967295u), "4294967295"},
        {"short dword", {kRegDword, {0x05, 0x01}}, "261"},
        {"binary", {kRegBinary, {0x0A, 0xFF, 0x00}}, "0AFF00"},
        {"empty", MakeStringValue(""), ""},
        {"zero length", {kRegSz, {}}, ""},
        {"accented", MakeStringValue("d\xC3\xA9"), "d\xC3\xA9"},
        {"fits", MakeStringValue(std::string(2047, 'y')), std::string(2047, 'y')},
        {"long", MakeStringValue(std::string(2048, 'x')), "Not Found"},  // 2049 bytes with its zero
        {"expand", {kRegExpandSz, {'%', 0, 'P', 0, '%', 0, 0, 0}}, "%P%"},
        {"multi", {kRegMultiSz, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}}, std::string("a\0b", 3) + '\0'},
    };
    TempFolder folder;
    ASSERT_TRUE(RegistryStore(folder.path()).Modify([&](RegistryTransaction& registry) {
        RegKey& types = registry.Hive(RegRoot::CurrentUser)->Create({"Software", "Types"});
        for (const auto& v : values) types.SetValue(v.name, v.value);
        RegKey& machine = registry.Hive(RegRoot::LocalMachine)->Create({"SOFTWARE", "Types"});
        machine.SetValue("", MakeStringValue("firefox"));
        return Status::Ok();
    }).ok());

    const struct {
        std::uint32_t root;
        std::string keyPath, valueName, expected;
    } lookups[] = {
        {kHkeyLocalMachine, "Software\\Types\\", "", "firefox"},
        {kHkeyCurrentUser, "software\\TYPES", "FIFTEEN HUNDRED", "1500"},
        {kHkeyCurrentUser, "Software\\Types", "absent", "Not Found"},
        {kHkeyCurrentUser, "Software\\Types", "", "Not Found"},
        {kHkeyCurrentUser, "Software\\Missing", "five", "Not Found"},
        {kHkeyCurrentUser, "\\Software\\Types", "five", "Not Found"},
        {kHkeyLocalMachine, "Software\\Types", "five", "Not Found"},
        {0x12345678u, "Software\\Types", "five", "Not Found"},
    };
    RegistryReaderPosix real(folder.path());
    KeyCountingReader reader(real);
    const auto expect = [&](std::uint32_t root, const std::string& path, const std::string& name,
                            const std::string& text) {
        EXPECT_EQ(RegAccess::ReadRegValue(reader, root, path, name), text) << path << " [" << name << "]";
        EXPECT_TRUE(reader.open.empty()) << "key left open";
    };
    for (const auto& v : values) expect(kHkeyCurrentUser, "Software\\Types", v.name, v.expected);
    for (const auto& l : lookups) expect(l.root, l.keyPath, l.valueName, l.expected);
    RegistryReaderPosix never(folder / "never created");
    EXPECT_EQ(RegAccess::ReadRegValue(never, kHkeyCurrentUser, "Software\\Types", "five"), "Not Found");
}

}  // namespace
}  // namespace brisko::test
