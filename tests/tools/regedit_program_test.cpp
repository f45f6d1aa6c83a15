// The real regedit program, run as a process against a temporary system root.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/posix/ansi_text.h"
#include "platform/posix/registry_store.h"
#include "tests/support/temp_folder.h"

namespace brisko {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::WriteFileBytes;

struct Outcome {
    int exitCode = -1;  // -1: ended by a signal
    std::string errors;
};

class RegeditProgram : public testing::Test {
protected:
    std::string Root() const { return m_folder / "system"; }
    std::string Work() const { return m_folder / "work"; }

    void SetUp() override { fs::create_directories(Work()); }

    // Starts regedit with its working folder in Work(); its standard error goes to a file.
    pid_t Start(const std::vector<std::string>& args, const std::string& errorFile) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::chdir(Work().c_str()) != 0) ::_exit(126);
            const int fd = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 || ::dup2(fd, 2) < 0) ::_exit(126);
            ::setenv("BRISKO_SYSTEM_ROOT", Root().c_str(), 1);
            std::vector<char*> argv;
            const std::string program = std::string(BRISKO_BIN_DIR) + "/regedit";
            argv.push_back(const_cast<char*>(program.c_str()));
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        return pid;
    }

    static Outcome Wait(pid_t pid, const std::string& errorFile) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileBytes(errorFile)};
    }

    Outcome Run(const std::vector<std::string>& args) {
        const std::string errors = m_folder / "stderr.txt";
        return Wait(Start(args, errors), errors);
    }

    std::unique_ptr<RegKey> Hive(RegRoot root) {
        std::unique_ptr<RegKey> hive;
        EXPECT_TRUE(RegistryStore(Root()).Load(root, &hive).ok());
        return hive;
    }

    // Every file below the test folder with its content, store files apart.
    std::map<std::string, std::string> Snapshot() {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(m_folder.path())) {
            if (entry.is_regular_file() && entry.path().filename() != "stderr.txt") {
                files[entry.path().string()] = ReadFileBytes(entry.path().string());
            }
        }
        return files;
    }

    test::TempFolder m_folder;
};

const std::string kV5 = "Windows Registry Editor Version 5.00\r\n\r\n";

TEST_F(RegeditProgram, ImportsAFileNamedRelativeToItsWorkingFolder) {
    WriteFileBytes(Work() + "/web.reg", kV5 +
                                           "[HKEY_CURRENT_USER\\Software\\Web]\r\n\"Name\"=\"value\"\r\n"
                                           "\"Count\"=dword:00000010\r\n");
    for (const char* option : {"/s", "-s", "/S", "-S"}) {
        const Outcome outcome = Run({option, "web.reg"});
        EXPECT_EQ(outcome.exitCode, 0) << option << outcome.errors;
        EXPECT_EQ(outcome.errors, "");
    }
    const auto hive = Hive(RegRoot::CurrentUser);
    const RegKey* key = hive->Find({"software", "web"});
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(*key->Value("name"), MakeStringValue("value"));
    EXPECT_EQ(*key->Value("COUNT"), MakeDwordValue(16));
    for (const auto& entry : fs::directory_iterator(Root() + "/registry")) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "registry.lock" || name == "HKEY_CURRENT_USER.reg") << "left behind: " << name;
    }
}

TEST_F(RegeditProgram, SkippedLinesAreReportedAndTheRestImports) {
    WriteFileBytes(Work() + "/mixed.reg", kV5 +
                                              "[HKCU\\M]\r\n\"bad\"=dword:xyz\r\n\"good\"=\"yes\"\r\n"
                                              "[NOWHERE\\x]\r\n\"lost\"=\"v\"\r\n");
    const Outcome outcome = Run({"/s", "mixed.reg"});
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_NE(outcome.errors.find("mixed.reg:4:"), std::string::npos) << outcome.errors;
    EXPECT_NE(outcome.errors.find("mixed.reg:6:"), std::string::npos) << outcome.errors;
    const auto hive = Hive(RegRoot::CurrentUser);
    const RegKey* key = hive->Find({"M"});
    ASSERT_NE(key, nullptr);
    EXPECT_NE(key->Value("good"), nullptr);
    EXPECT_EQ(key->Value("bad"), nullptr);
}

TEST_F(RegeditProgram, FilesThatCannotBeImportedChangeNothing) {
    WriteFileBytes(Work() + "/seed.reg", kV5 + "[HKCU\\Keep]\r\n\"v\"=\"1\"\r\n");
    ASSERT_EQ(Run({"/s", "seed.reg"}).exitCode, 0);
    WriteFileBytes(Work() + "/header.reg", "REGEDIT 4\r\n[HKCU\\Keep]\r\n\"v\"=\"2\"\r\n");
    fs::create_directories(Work() + "/folder.reg");
    const auto before = Snapshot();

    for (const char* file : {"missing.reg", "header.reg", "folder.reg"}) {
        const Outcome outcome = Run({"/s", file});
        EXPECT_EQ(outcome.exitCode, 1) << file;
        EXPECT_NE(outcome.errors.find(file), std::string::npos) << outcome.errors;
    }
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(RegeditProgram, HostileFilesGiveMessagesAndWriteOnlyTheStore) {
    std::string junk = kV5 + "[HKCU\\Junk]\r\n";
    for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 7919) % 256);
    junk += "\r\n\"after\"=\"ok\"\r\n\"big\"=\"" + std::string(1 << 20, 'x') + "\"\r\n";
    junk += "[HKCU\\..\\..\\..\\escape]\r\n[HKLM\\a/b/../../c]\r\n\"v\"=hex:0g\r\n";
    WriteFileBytes(Work() + "/junk.reg", junk);
    std::string binary(70000, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 31 + 7);
    WriteFileBytes(Work() + "/binary.reg", binary);

    auto before = Snapshot();
    const Outcome first = Run({"/s", "junk.reg"});
    const Outcome second = Run({"/s", "binary.reg"});
    EXPECT_EQ(first.exitCode, 1) << "a crash ends by a signal";
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(first.errors.find("junk.reg:"), std::string::npos);
    EXPECT_NE(second.errors.find("binary.reg:1:"), std::string::npos);

    auto after = Snapshot();
    for (const auto& [path, bytes] : after) {
        if (path.rfind(Root() + "/registry/", 0) == 0) continue;
        EXPECT_EQ(before.count(path), 1u) << "written outside the store: " << path;
    }
    const auto hive = Hive(RegRoot::CurrentUser);
    const RegKey* key = hive->Find({"Junk"});
    ASSERT_NE(key, nullptr);
    EXPECT_NE(key->Value("after"), nullptr);
    ASSERT_NE(key->Value("big"), nullptr);
    EXPECT_EQ(key->Value("big")->data.size(), (std::size_t{1} << 21) + 2);
}

TEST_F(RegeditProgram, ConcurrentImportersLoseNoValue) {
    constexpr int kImporters = 8;
    constexpr int kValues = 40;
    for (int i = 0; i < kImporters; ++i) {
        std::string file = kV5 + "[HKEY_LOCAL_MACHINE\\SYSTEM\\Shared]\r\n";
        for (int v = 0; v < kValues; ++v) {
            file += "\"p" + std::to_string(i) + "v" + std::to_string(v) + "\"=dword:" + std::to_string(v) + "\r\n";
        }
        file += "[HKEY_LOCAL_MACHINE\\SYSTEM\\Own" + std::to_string(i) + "]\r\n";
        WriteFileBytes(Work() + "/p" + std::to_string(i) + ".reg", file);
    }
    std::vector<std::pair<pid_t, std::string>> running;
    for (int i = 0; i < kImporters; ++i) {
        const std::string errors = m_folder / ("stderr" + std::to_string(i));
        running.emplace_back(Start({"/s", "p" + std::to_string(i) + ".reg"}, errors), errors);
    }
    for (const auto& [pid, errors] : running) {
        const Outcome outcome = Wait(pid, errors);
        EXPECT_EQ(outcome.exitCode, 0) << outcome.errors;
    }
    const auto hive = Hive(RegRoot::LocalMachine);
    const RegKey* shared = hive->Find({"SYSTEM", "Shared"});
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared->Values().size(), std::size_t{kImporters * kValues});
    for (int i = 0; i < kImporters; ++i) {
        EXPECT_NE(hive->Find({"SYSTEM", "Own" + std::to_string(i)}), nullptr) << i;
    }
}

TEST_F(RegeditProgram, ExportThenImportRoundTrips) {
    WriteFileBytes(Work() + "/in.reg",
                   "REGEDIT4\n[HKCU\\Software\\Round Trip]\n@=\"default\"\n\"s\"=\"a \\\"q\\\" \\\\ b\"\n"
                   "\"d\"=dword:ffffffff\n\"b\"=hex:00,01,fe,ff\n\"e\"=hex(2):25,50,25,00\n"
                   "\"m\"=hex(7):61,00,62,00,00\n[HKCU\\Software\\Round Trip\\Child]\n\"n\"=hex(0):\n"
                   "[HKCU\\Software\\Other]\n\"x\"=\"not exported\"\n");
    ASSERT_EQ(Run({"/s", "in.reg"}).exitCode, 0);
    const Outcome exported = Run({"/e", "out.reg", "hkcu\\software\\ROUND TRIP\\"});
    ASSERT_EQ(exported.exitCode, 0) << exported.errors;
    const std::string out = ReadFileBytes(Work() + "/out.reg");
    ASSERT_EQ(out.substr(0, 2), "\xFF\xFE");
    const std::string text = Utf16ToAnsi(
        BytesToUtf16(reinterpret_cast<const std::uint8_t*>(out.data()) + 2, out.size() - 2));
    EXPECT_EQ(text.rfind(kV5 + "[HKEY_CURRENT_USER\\Software\\Round Trip]\r\n@=\"default\"\r\n", 0), 0u) << text;
    EXPECT_EQ(text.find("not exported"), std::string::npos);

    const std::string hive = ReadFileBytes(Root() + "/registry/HKEY_CURRENT_USER.reg");
    fs::remove_all(Root());
    ASSERT_EQ(Run({"/s", "out.reg"}).exitCode, 0);
    ASSERT_EQ(Run({"/s", "in.reg"}).exitCode, 0);
    EXPECT_EQ(ReadFileBytes(Root() + "/registry/HKEY_CURRENT_USER.reg"), hive);

    EXPECT_EQ(Run({"/e", "all.reg"}).exitCode, 0);
    EXPECT_NE(ReadFileBytes(Work() + "/all.reg").size(), 0u);
    const Outcome missing = Run({"/e", "none.reg", "HKCU\\No\\Such\\Key"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(fs::exists(Work() + "/none.reg"));
}

TEST_F(RegeditProgram, BadUsagePrintsUsage) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"/s"}, {"/x", "a.reg"}, {"s", "a.reg"}, {"/e"}, {"/e", "a", "b", "c"}, {"/ss", "a.reg"}}) {
        const Outcome outcome = Run(args);
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_NE(outcome.errors.find("Usage"), std::string::npos);
    }
}

}  // namespace
}  // namespace brisko
