// The real regedit program, run as a process against a temporary system root.
#include <gtest/gtest.h>


#include "platform/posix/ansi_text.h"
#include "platform/posix/registry_store.h"
#include "tests/support/child_processes.h"
#include "tests/support/temp_folder.h"

namespace brisko::test {
namespace {

namespace fs = std::filesystem;

const std::string kV5 = "Windows Registry Editor Version 5.00\r\n\r\n";

class RegeditProgram : public testing::Test {
protected:
    // Starts regedit in the working folder; its messages go to a file of their own.
    pid_t Start(const std::vector<std::string>& args, const std::string& output) {
        fs::create_directories(m_work);
        return StartProgram(BRISKO_BIN_DIR "/regedit", args, m_work, m_outputs / output);
    }
    // Runs it to the end: its exit status (-1: ended by a signal), then what it printed.
    std::string Run(const std::vector<std::string>& args, const std::string& output = "out") {
        const int status = WaitForExit(Start(args, output));
        return std::to_string(status) + " " + ReadFileBytes(m_outputs / output);
    }
    void Write(const std::string& name, const std::string& bytes) { WriteFileBytes(m_work + "/" + name, bytes); }
    std::unique_ptr<RegKey> Hive(RegRoot root) {
        std::unique_ptr<RegKey> hive;
        EXPECT_TRUE(RegistryStore(m_root).Load(root, &hive).ok());
        return hive;
    }
    std::map<std::string, std::string> Snapshot() const { return test::Snapshot(m_folder.Path()); }

    TempFolder m_folder, m_outputs;
    const std::string m_root = m_folder / "system";
    const std::string m_work = m_folder / "work";
    ScopedEnv m_env{"BRISKO_SYSTEM_ROOT", m_root};
};

TEST_F(RegeditProgram, ImportsAFileNamedRelativeToItsWorkingFolder) {
    Write("web.reg", kV5 + "[HKEY_CURRENT_USER\\Software\\Web]\r\n\"Name\"=\"value\"\r\n\"Count\"=dword:00000010\r\n");
    for (const char* option : {"/s", "-s", "/S", "-S"}) EXPECT_EQ(Run({option, "web.reg"}), "0 ") << option;
    // Names match without regard to case and keep their first spelling.
    Write("case.reg", kV5 + "[hkcu\\SOFTWARE\\WEB\\Sub]\r\n[HKCU\\software\\web]\r\n\"NAME\"=-\r\n"
                            "\"count\"=dword:2\r\n[HKCU\\Gone\\Deep]\r\n[-HKCU\\GONE]\r\n");
    EXPECT_EQ(Run({"/s", "case.reg"}), "0 ");
    const auto hive = Hive(RegRoot::CurrentUser);
    ASSERT_EQ(hive->Subkeys().size(), 1u);
    const RegKey* key = hive->Find({"software", "web"});
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->Name(), "Web");
    ASSERT_EQ(key->Values().size(), 1u);
    EXPECT_EQ(key->Values()[0].name, "Count");
    EXPECT_EQ(*key->Value("COUNT"), MakeDwordValue(2));
    EXPECT_NE(key->Subkey("SUB"), nullptr);
    for (const auto& entry : fs::directory_iterator(m_root + "/registry")) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "registry.lock" || name == "HKEY_CURRENT_USER.reg") << "left behind: " << name;
    }
}

TEST_F(RegeditProgram, SkippedLinesAreReportedAndTheRestImports) {
    Write("mixed.reg", kV5 + "[HKCU\\M]\r\n\"bad\"=dword:xyz\r\n\"good\"=\"yes\"\r\n[NOWHERE\\x]\r\n\"lost\"=\"v\"\r\n");
    const std::string outcome = Run({"/s", "mixed.reg"});
    EXPECT_EQ(outcome.rfind("1 ", 0), 0u) << outcome;
    EXPECT_NE(outcome.find("mixed.reg:4:"), std::string::npos) << outcome;
    EXPECT_NE(outcome.find("mixed.reg:6:"), std::string::npos) << outcome;
    const auto hive = Hive(RegRoot::CurrentUser);
    EXPECT_NE(hive->Find({"M"})->Value("good"), nullptr);
    EXPECT_EQ(hive->Find({"M"})->Value("bad"), nullptr);
}

TEST_F(RegeditProgram, FilesThatCannotBeImportedChangeNothing) {
    Write("seed.reg", kV5 + "[HKCU\\Keep]\r\n\"v\"=\"1\"\r\n");
    ASSERT_EQ(Run({"/s", "seed.reg"}), "0 ");
    Write("header.reg", "REGEDIT 4\r\n[HKCU\\Keep]\r\n\"v\"=\"2\"\r\n");
    fs::create_directories(m_work + "/folder.reg");
    const auto before = Snapshot();
    for (const char* file : {"missing.reg", "header.reg", "folder.reg"}) {
        const std::string outcome = Run({"/s", file});
        EXPECT_EQ(outcome.rfind("1 ", 0), 0u) << outcome;
        EXPECT_NE(outcome.find(file), std::string::npos) << outcome;
    }
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(RegeditProgram, HostileFilesGiveMessagesAndWriteOnlyTheStore) {
    std::string junk = kV5 + "[HKCU\\Junk]\r\n";
    for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 7919) % 256);
    junk += "\r\n\"after\"=\"ok\"\r\n\"big\"=\"" + std::string(1 << 20, 'x') + "\"\r\n";
    junk += "[HKCU\\..\\..\\..\\escape]\r\n[HKLM\\a/b/../../c]\r\n\"v\"=hex:0g\r\n";
    Write("junk.reg", junk);
    std::string binary(70000, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 31 + 7);
    Write("binary.reg", binary);

    const auto before = Snapshot();
    const std::string first = Run({"/s", "junk.reg"}), second = Run({"/s", "binary.reg"});
    EXPECT_EQ(first.rfind("1 ", 0), 0u) << "a crash ends by a signal";
    EXPECT_NE(first.find("junk.reg:"), std::string::npos);
    EXPECT_EQ(second.rfind("1 ", 0), 0u);
    EXPECT_NE(second.find("binary.reg:1:"), std::string::npos);
    for (const auto& [path, bytes] : Snapshot())
        EXPECT_TRUE(path.rfind("system", 0) == 0 || before.count(path)) << "written outside the store: " << path;
    const auto hive = Hive(RegRoot::CurrentUser);
    const RegKey* key = hive->Find({"Junk"});
    ASSERT_NE(key, nullptr);
    EXPECT_NE(key->Value("after"), nullptr);
    ASSERT_NE(key->Value("big"), nullptr);
    EXPECT_EQ(key->Value("big")->data.size(), (std::size_t{1} << 21) + 2);
}

TEST_F(RegeditProgram, ConcurrentImportersLoseNoValue) {
    constexpr int kImporters = 8, kValues = 40;
    std::vector<pid_t> running;
    for (int i = 0; i < kImporters; ++i) {
        const std::string n = std::to_string(i);
        std::string file = kV5 + "[HKEY_LOCAL_MACHINE\\SYSTEM\\Shared]\r\n";
        for (int v = 0; v < kValues; ++v) file += "\"p" + n + "v" + std::to_string(v) + "\"=dword:1\r\n";
        Write("p" + n + ".reg", file + "[HKEY_LOCAL_MACHINE\\SYSTEM\\Own" + n + "]\r\n");
    }
    for (int i = 0; i < kImporters; ++i)
        running.push_back(Start({"/s", "p" + std::to_string(i) + ".reg"}, "out" + std::to_string(i)));
    for (pid_t pid : running) EXPECT_EQ(WaitForExit(pid), 0);
    const auto hive = Hive(RegRoot::LocalMachine);
    EXPECT_EQ(hive->Find({"SYSTEM", "Shared"})->Values().size(), std::size_t{kImporters * kValues});
    for (int i = 0; i < kImporters; ++i) EXPECT_NE(hive->Find({"SYSTEM", "Own" + std::to_string(i)}), nullptr) << i;
}

TEST_F(RegeditProgram, ExportThenImportRoundTrips) {
    Write("in.reg", "REGEDIT4\n[HKCU\\Software\\Round Trip]\n@=\"default\"\n\"s\"=\"a \\\"q\\\" \\\\ b\"\n"
                    "\"d\"=dword:ffffffff\n\"b\"=hex:00,01,fe,ff\n\"e\"=hex(2):25,50,25,00\n"
                    "\"m\"=hex(7):61,00,62,00,00\n[HKCU\\Software\\Round Trip\\Child]\n\"n\"=hex(0):\n"
                    "[HKCU\\Software\\Other]\n\"x\"=\"not exported\"\n");
    ASSERT_EQ(Run({"/s", "in.reg"}), "0 ");
    ASSERT_EQ(Run({"/e", "out.reg", "hkcu\\software\\ROUND TRIP\\"}), "0 ");
    const std::string out = ReadFileBytes(m_work + "/out.reg");
    ASSERT_EQ(out.substr(0, 2), "\xFF\xFE");
    const std::string text =
        Utf16ToAnsi(BytesToUtf16(reinterpret_cast<const std::uint8_t*>(out.data()) + 2, out.size() - 2));
    EXPECT_EQ(text.rfind(kV5 + "[HKEY_CURRENT_USER\\Software\\Round Trip]\r\n@=\"default\"\r\n", 0), 0u) << text;
    EXPECT_EQ(text.find("not exported"), std::string::npos);

    const std::string hive = ReadFileBytes(m_root + "/registry/HKEY_CURRENT_USER.reg");
    fs::remove_all(m_root);
    ASSERT_EQ(Run({"/s", "out.reg"}), "0 ");
    ASSERT_EQ(Run({"/s", "in.reg"}), "0 ");
    EXPECT_EQ(ReadFileBytes(m_root + "/registry/HKEY_CURRENT_USER.reg"), hive);

    EXPECT_EQ(Run({"/e", "all.reg"}).substr(0, 2), "0 ");
    EXPECT_NE(ReadFileBytes(m_work + "/all.reg").size(), 0u);
    EXPECT_EQ(Run({"/e", "none.reg", "HKCU\\No\\Such\\Key"}).substr(0, 2), "1 ");
    EXPECT_FALSE(fs::exists(m_work + "/none.reg"));
}

TEST_F(RegeditProgram, BadUsagePrintsUsage) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"/s"}, {"/x", "a.reg"}, {"s", "a.reg"}, {"/e"}, {"/e", "a", "b", "c"}, {"/ss", "a.reg"}}) {
        const std::string outcome = Run(args);
        EXPECT_EQ(outcome.rfind("2 ", 0), 0u) << outcome;
        EXPECT_NE(outcome.find("Usage"), std::string::npos);
    }
}

}  // namespace
}  // namespace brisko::test
