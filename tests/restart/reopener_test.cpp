// reopener end to end: a stand-in parent starts it beside a stand-in brisko script.
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <spawn.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(15)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

char ProcessState(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    return close == std::string::npos || close + 2 >= line.size() ? '?' : line[close + 2];
}

std::map<std::string, std::string> ReadFields(const fs::path& file) {
    std::map<std::string, std::string> fields;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return fields;
}

class Reopener : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/brisko-reopener-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = fs::canonical(pattern);
        fs::create_directories(m_root / "bin");
        fs::create_directories(m_root / "work");
        fs::copy_file(fs::path(BRISKO_BIN_DIR) / "reopener", m_root / "bin" / "reopener");
        // Orphans come back to this test, so reopener's exit status can be read.
        ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    }

    void TearDown() override {
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        fs::remove_all(m_root);
    }

    void WriteStandIn() {
        const fs::path script = m_root / "bin" / "brisko";
        const std::string marker = (m_root / "started").string();
        std::ofstream out(script);
        out << "#!/bin/sh\n"
               "set -- $(cut -d')' -f2 /proc/$$/stat)\n"
               "{\n"
               "  echo \"cwd=$(pwd -P)\"\n"
               "  if [ -e '" << (m_root / "parent-ended").string() << "' ]; then echo parent=ended; else echo parent=running; fi\n"
               "  echo \"session=$4\"\n"
               "  echo \"pid=$$\"\n"
               "} > '" << marker << ".tmp' && mv '" << marker << ".tmp' '" << marker << "'\n";
        out.close();
        fs::permissions(script, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    }

    // Forks a parent that starts reopener in work/ and ends when released.
    // Returns the parent's pid; m_reopener gets reopener's.
    pid_t StartParent() {
        int release[2], report[2];
        if (pipe(release) != 0 || pipe(report) != 0) return -1;
        const std::string reopener = (m_root / "bin" / "reopener").string();
        const std::string work = (m_root / "work").string();
        const std::string ended = (m_root / "parent-ended").string();
        const pid_t parent = fork();
        if (parent == 0) {
            close(release[1]);
            close(report[0]);
            if (chdir(work.c_str()) != 0) _exit(3);
            char* argv[] = {const_cast<char*>(reopener.c_str()), nullptr};
            pid_t child = 0;
            if (posix_spawn(&child, reopener.c_str(), nullptr, nullptr, argv, environ) != 0) _exit(4);
            (void)!write(report[1], &child, sizeof child);
            char c;
            (void)!read(release[0], &c, 1);
            const int fd = creat(ended.c_str(), 0600);
            if (fd >= 0) close(fd);
            _exit(0);
        }
        close(release[0]);
        close(report[1]);
        m_release = release[1];
        if (read(report[0], &m_reopener, sizeof m_reopener) != sizeof m_reopener) m_reopener = -1;
        close(report[0]);
        return parent;
    }

    // Lets the parent end and reaps it.
    void EndParent(pid_t parent) {
        close(m_release);
        int status = 0;
        waitpid(parent, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    // reopener is waiting once it sleeps; a reopener that did not wait would have
    // started the stand-in by then.
    void ExpectWaiting() {
        ASSERT_GT(m_reopener, 0);
        EXPECT_TRUE(WaitFor([&] {
            std::error_code ec;
            return fs::read_symlink("/proc/" + std::to_string(m_reopener) + "/exe", ec) ==
                       m_root / "bin" / "reopener" &&
                   ProcessState(m_reopener) == 'S';
        }));
        EXPECT_FALSE(fs::exists(m_root / "started"));
    }

    int ReopenerExitCode() {
        int status = 0;
        if (waitpid(m_reopener, &status, 0) != m_reopener || !WIFEXITED(status)) return -1;
        return WEXITSTATUS(status);
    }

    fs::path m_root;
    int m_release = -1;
    pid_t m_reopener = -1;
};

TEST_F(Reopener, StartsBriskoFromItsFolderOnceItsParentHasEnded) {
    WriteStandIn();
    const pid_t parent = StartParent();
    ASSERT_GT(parent, 0);
    ExpectWaiting();
    EndParent(parent);

    ASSERT_TRUE(WaitFor([&] { return fs::exists(m_root / "started"); }));
    auto fields = ReadFields(m_root / "started");
    EXPECT_EQ(fields["parent"], "ended");
    EXPECT_EQ(fields["cwd"], (m_root / "work").string());
    EXPECT_EQ(fields["session"], fields["pid"]) << "the new instance leads a session of its own";
    EXPECT_EQ(ReopenerExitCode(), 0);
}

TEST_F(Reopener, ReportsABriskoThatCannotBeStarted) {
    const pid_t parent = StartParent();
    ASSERT_GT(parent, 0);
    ExpectWaiting();
    EndParent(parent);
    EXPECT_EQ(ReopenerExitCode(), 1);
}

}  // namespace
