// SPDX-License-Identifier: GPL-3.0-or-later
// The real regedit program, run as a process against a temporary system root.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <random>
#include <set>
#include <thread>

#include "winenv/ansi_text.h"
#include "platform/posix/registry_read_posix.h"
#include "winenv/registry_store.h"
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
    // The text of an exported file, read back from UTF-16.
    std::string Exported(const std::string& name) const {
        const std::string bytes = ReadFileBytes(m_work + "/" + name);
        if (bytes.substr(0, 2) != "\xFF\xFE") return "not UTF-16: " + bytes;
        return Utf16ToAnsi(BytesToUtf16(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 2, bytes.size() - 2));
    }
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

// Files are named relative to the working folder; names match without regard to case and
// keep their first spelling. Bad lines and keys too deep for Windows are reported by number,
// never by a crash, and the rest imports; nothing but the store is written. A file that
// cannot be read at all changes nothing.
TEST_F(RegeditProgram, ImportsWhatItCanAndNamesTheLinesItSkipped) {
    Write("web.reg", kV5 + "[HKEY_CURRENT_USER\\Software\\Web]\r\n\"Name\"=\"value\"\r\n\"Count\"=dword:00000010\r\n");
    EXPECT_EQ(Run({"-S", "web.reg"}), "0 ");
    Write("header.reg", "REGEDIT 4\r\n[HKCU\\Keep]\r\n\"v\"=\"2\"\r\n");
    fs::create_directories(m_work + "/folder.reg");
    Write("case.reg", kV5 + "[hkcu\\SOFTWARE\\WEB\\Sub]\r\n[HKCU\\software\\web]\r\n\"NAME\"=-\r\n"
                            "\"count\"=dword:2\r\n[HKCU\\Gone\\Deep]\r\n[-HKCU\\GONE]\r\n"
                            "\"bad\"=dword:xyz\r\n[NOWHERE\\x]\r\n\"lost\"=\"v\"\r\n[HKCU\\..\\..\\..\\escape]\r\n"
                            "[HKLM\\a/b/../../c]\r\n\"v\"=hex:0g\r\n");
    std::string deep = kV5 + "[HKEY_CURRENT_USER";
    for (int i = 0; i < 200000; ++i) deep += "\\a";
    Write("deep.reg", deep + "]\r\n\"v\"=\"x\"\r\n[-HKEY_CURRENT_USER\\a]\r\n[HKCU\\Kept]\r\n");
    const auto before = Snapshot();
    for (const char* file : {"missing.reg", "header.reg", "folder.reg"}) {
        const std::string failed = Run({"/s", file});
        EXPECT_EQ(failed.rfind("1 ", 0), 0u) << failed;
        EXPECT_NE(failed.find(file), std::string::npos) << failed;
    }
    EXPECT_EQ(Snapshot(), before);

    const std::string outcome = Run({"/s", "case.reg"});
    EXPECT_EQ(outcome.rfind("1 ", 0), 0u) << "a crash ends by a signal: " << outcome.substr(0, 100);
    EXPECT_NE(outcome.find("case.reg:9:"), std::string::npos) << outcome;
    EXPECT_NE(outcome.find("case.reg:10:"), std::string::npos) << outcome;
    const std::string tooDeep = Run({"/s", "deep.reg"});
    EXPECT_EQ(tooDeep.rfind("1 deep.reg:3: key nested deeper than 512 levels", 0), 0u)
        << tooDeep.substr(0, 100);
    for (const auto& [path, bytes] : Snapshot())
        EXPECT_TRUE(path.rfind("system", 0) == 0 || before.count(path)) << "written outside the store: " << path;
    // Keys and values keep their first spelling; ".." is a key's name like any other.
    ASSERT_EQ(Run({"/e", "hkcu.reg", "HKEY_CURRENT_USER"}), "0 ");
    std::string expected = kV5;
    for (const char* key : {"]", "\\..]", "\\..\\..]", "\\..\\..\\..]", "\\..\\..\\..\\escape]", "\\Kept]",
                            "\\Software]", "\\Software\\Web]\r\n\"Count\"=dword:00000002", "\\Software\\Web\\Sub]"})
        expected += std::string("[HKEY_CURRENT_USER") + key + "\r\n\r\n";
    EXPECT_EQ(Exported("hkcu.reg"), expected);
}

TEST_F(RegeditProgram, ConcurrentImportersLoseNoValue) {
    constexpr int kImporters = 8, kValues = 40;
    std::vector<pid_t> running;
    for (int i = 0; i < kImporters; ++i) {
        const std::string n = std::to_string(i);
        std::string file = kV5 + "[HKEY_LOCAL_MACHINE\\SYSTEM\\Shared]\r\n";
        for (int v = 0; v < kValues; ++v) file += "\"p" + n + "v" + std::to_string(v) + "\"=dword:1\r\n";
        Write("p" + n + ".reg", file);
    }
    for (int i = 0; i < kImporters; ++i)
        running.push_back(Start({"/s", "p" + std::to_string(i) + ".reg"}, "out" + std::to_string(i)));
    // Meanwhile a reader, without any lock, never finds the hive half written nor loses a value it saw.
    std::size_t seen = 0;
    const auto ended = [](pid_t pid) { return ProcessState(pid) == 'Z' || ProcessState(pid) == '?'; };
    while (!std::all_of(running.begin(), running.end(), ended)) {
        std::unique_ptr<RegKey> hive;
        ASSERT_TRUE(RegistryStore(m_root).Load(RegRoot::LocalMachine, &hive).ok());
        const RegKey* shared = hive->Find({"SYSTEM", "Shared"});
        const std::size_t now = shared ? shared->Values().size() : 0;
        EXPECT_GE(now, seen);
        seen = now;
    }
    for (pid_t pid : running) EXPECT_EQ(WaitForExit(pid), 0);
    EXPECT_EQ(Hive(RegRoot::LocalMachine)->Find({"SYSTEM", "Shared"})->Values().size(),
              std::size_t{kImporters * kValues});
}

// The byte-level round trip is the exporter's own test; here the key chosen and only it.
// Export saves as any program does: through a link to the file it names, and never over
// a device, a FIFO or a folder.
TEST_F(RegeditProgram, ExportWritesThroughLinksAndNeverReplacesSpecialFiles) {
    Write("in.reg",
          "REGEDIT4\n[HKCU\\Software\\E]\n@=\"default\"\n[HKCU\\Software\\Other]\n\"x\"=\"not exported\"\n");
    ASSERT_EQ(Run({"/s", "in.reg"}), "0 ");
    ASSERT_EQ(Run({"/e", "out.reg", "hkcu\\software\\e\\"}), "0 ");
    EXPECT_EQ(Exported("out.reg"), kV5 + "[HKEY_CURRENT_USER\\Software\\E]\r\n@=\"default\"\r\n\r\n");
    const std::string out = ReadFileBytes(m_work + "/out.reg");
    EXPECT_EQ(Run({"/e", "all.reg"}), "0 ");
    EXPECT_GT(ReadFileBytes(m_work + "/all.reg").size(), out.size());
    EXPECT_EQ(Run({"/e", "none.reg", "HKCU\\No\\Such\\Key"}).substr(0, 2), "1 ");
    EXPECT_FALSE(fs::exists(m_work + "/none.reg"));

    Write("real/old.reg", "old");
    fs::create_symlink("real/old.reg", m_work + "/link.reg");
    fs::create_symlink("real/new.reg", m_work + "/dangling.reg");
    ASSERT_EQ(::mkfifo((m_work + "/fifo.reg").c_str(), 0644), 0);
    fs::create_symlink("fifo.reg", m_work + "/fifo-link.reg");
    fs::create_directories(m_work + "/folder.reg");
    std::vector<std::string> refused{"fifo.reg", "fifo-link.reg", "folder.reg"};
    if (::mknod((m_work + "/null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) refused.push_back("null");
    for (const char* link : {"link.reg", "dangling.reg"}) {
        EXPECT_EQ(Run({"/e", link, "HKCU\\Software\\E"}), "0 ") << link;
        EXPECT_TRUE(fs::is_symlink(m_work + "/" + link)) << link;
    }
    EXPECT_EQ(ReadFileBytes(m_work + "/real/old.reg"), out);
    EXPECT_EQ(ReadFileBytes(m_work + "/real/new.reg"), out);
    for (const std::string& name : refused) {
        const std::string outcome = Run({"/e", name, "HKCU\\Software\\E"});
        EXPECT_EQ(outcome.rfind("1 regedit: cannot replace", 0), 0u) << outcome;
        EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(m_work + "/" + name))) << name;
    }
    EXPECT_TRUE(fs::is_fifo(m_work + "/fifo.reg"));
    EXPECT_TRUE(fs::is_directory(m_work + "/folder.reg"));
    for (const auto& entry : fs::directory_iterator(m_work))
        EXPECT_EQ(entry.path().string().find("brisko-temp"), std::string::npos) << entry.path();
}

TEST_F(RegeditProgram, TooLittleMemoryIsReportedAndChangesNothing) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address space limit and the sanitizer's shadow memory do not mix";
#endif
    Write("seed.reg", kV5 + "[HKCU\\Keep]\r\n\"v\"=\"1\"\r\n");
    ASSERT_EQ(Run({"/s", "seed.reg"}), "0 ");
    Write("big.reg", kV5 + "[HKCU\\Big]\r\n\"v\"=\"" + std::string(24 << 20, 'x') + "\"\r\n");
    const auto before = Snapshot();
    const pid_t pid = StartProgram("/bin/sh", {"-c", "ulimit -v 65536 && exec \"$0\" /s big.reg", BRISKO_BIN_DIR "/regedit"},
                                   m_work, m_outputs / "oom");
    EXPECT_EQ(WaitForExit(pid), 1);
    EXPECT_EQ(ReadFileBytes(m_outputs / "oom"),
              "regedit: big.reg is too large for the memory available; nothing imported\n");
    EXPECT_TRUE(Snapshot() == before);
}

// A boost's imports killed at random moments: every hive stays readable, and the next
// change clears away whatever the killed ones left.
TEST_F(RegeditProgram, KilledImportsLeaveReadableHivesAndNoTemporaryFiles) {
    const std::vector<std::string> files = {"web.reg", "tcp.reg", "lanman.reg"};
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string values;
        for (int v = 0; v < 3000; ++v) values += "\"v" + std::to_string(v) + "\"=\"value number " + std::to_string(v) + "\"\r\n";
        Write(files[i], kV5 + "[HKLM\\SYSTEM\\F" + std::to_string(i) + "]\r\n" + values + "[HKCU\\Software\\F" +
                            std::to_string(i) + "]\r\n" + values);
    }
    std::mt19937 random(20240601);
    for (int round = 0; round < 30; ++round) {
        const pid_t pid = Start({"/s", files[round % files.size()]}, "killed");
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 40000));
        ::kill(pid, SIGKILL);
        WaitForExit(pid);
    }
    for (RegRoot root : {RegRoot::LocalMachine, RegRoot::CurrentUser}) Hive(root);  // each must load

    ASSERT_EQ(Run({"/s", "web.reg"}), "0 ");
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_root + "/registry")) names.insert(entry.path().filename());
    EXPECT_EQ(names, (std::set<std::string>{"HKEY_CURRENT_USER.reg", "HKEY_LOCAL_MACHINE.reg", "registry.lock"}));
    EXPECT_EQ(Hive(RegRoot::CurrentUser)->Find({"Software", "F0"})->Values().size(), 3000u);
}

TEST_F(RegeditProgram, BadUsagePrintsUsage) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"/s"}, {"/x", "a.reg"}, {"s", "a.reg"}, {"/e", "a", "b", "c"}, {"/ss", "a.reg"}})
        EXPECT_EQ(Run(args).rfind("2 Usage", 0), 0u) << Run(args);
}

}  // namespace
}  // namespace brisko::test
