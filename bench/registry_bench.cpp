// SPDX-License-Identifier: GPL-3.0-or-later
// The regedit stand-in on a large .reg file: import time and peak memory of each run
// of the real program, in a system root of its own. Prints figures.
//
//   brisko-bench-registry [MEGABYTES] [REGEDIT]   default 200 MB, the regedit built beside
//
// Each step is one regedit process; its peak resident size comes from wait4(), the
// same figure getrusage(RUSAGE_CHILDREN) keeps for every child together.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Keys of a few hundred bytes: strings, dwords, binary and expandable data, the
// mixture the delivered import files hold, many times over.
bool WriteRegFile(const std::string& path, std::size_t bytes) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    std::string chunk = "Windows Registry Editor Version 5.00\r\n\r\n";
    std::size_t written = 0;
    char line[256];
    for (unsigned key = 0; written + chunk.size() < bytes; ++key) {
        std::snprintf(line, sizeof line,
                      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Bench\\Group %04u\\Key %06u]\r\n",
                      key / 1000, key);
        chunk += line;
        std::snprintf(line, sizeof line, "\"Name\"=\"Interface %u of the benchmark, with some text\"\r\n", key);
        chunk += line;
        std::snprintf(line, sizeof line, "\"TcpWindowSize\"=dword:%08x\r\n\"DefaultTTL\"=dword:00000040\r\n", key);
        chunk += line;
        chunk += "\"Binary\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n"
                 "  17,18,19,1a,1b,1c,1d,1e,1f\r\n";
        chunk += "\"Path\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,\\\r\n"
                 "  00,25,00,00,00\r\n\r\n";
        if (chunk.size() >= (1u << 20)) {
            if (std::fwrite(chunk.data(), 1, chunk.size(), out) != chunk.size()) break;
            written += chunk.size();
            chunk.clear();
        }
    }
    const bool ok = std::fwrite(chunk.data(), 1, chunk.size(), out) == chunk.size();
    return std::fclose(out) == 0 && ok;
}

struct Step {
    int status = -1;
    double seconds = 0;
    long peakKilobytes = 0;
};

Step RunRegedit(const std::string& regedit, const std::vector<std::string>& args, const std::string& folder) {
    std::vector<char*> argv{const_cast<char*>(regedit.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    Step step;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    if (::posix_spawn(&pid, regedit.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        if (::wait4(pid, &status, 0, &usage) == pid) {
            step.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            step.peakKilobytes = usage.ru_maxrss;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    step.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return step;
}

double Megabytes(std::uintmax_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

void Print(const char* what, const Step& step, std::uintmax_t fileBytes) {
    const double peak = static_cast<double>(step.peakKilobytes) / 1024.0;
    std::printf("%-34s exit %3d  %8.2f s  peak %8.1f MB  (%.1fx the file)\n", what, step.status, step.seconds, peak,
                peak / Megabytes(fileBytes));
}

}  // namespace

int main(int argc, char** argv) {
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 200.0;
    const std::string regedit = argc > 2 ? argv[2] : BRISKO_BIN_DIR "/regedit";
    if (megabytes <= 0) {
        std::fprintf(stderr, "usage: %s [MEGABYTES] [REGEDIT]\n", argv[0]);
        return 2;
    }
    char pattern[] = "/tmp/brisko-bench-registry-XXXXXX";
    if (!::mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string folder = pattern;
    ::setenv("BRISKO_SYSTEM_ROOT", (folder + "/system").c_str(), 1);

    const std::string file = folder + "/large.reg";
    if (!WriteRegFile(file, static_cast<std::size_t>(megabytes * 1024 * 1024))) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        fs::remove_all(folder);
        return 1;
    }
    const std::uintmax_t size = fs::file_size(file);
    std::printf("regedit: %s\n.reg file: %.1f MB\n", regedit.c_str(), Megabytes(size));

    Print("import into an empty registry", RunRegedit(regedit, {"/s", "large.reg"}, folder), size);
    const std::string hive = folder + "/system/registry/HKEY_LOCAL_MACHINE.reg";
    std::error_code error;
    std::printf("%-34s %.1f MB\n", "hive written", Megabytes(fs::file_size(hive, error)));
    Print("import again over that hive", RunRegedit(regedit, {"/s", "large.reg"}, folder), size);
    Print("export the whole key", RunRegedit(regedit, {"/e", "out.reg", "HKLM\\SYSTEM"}, folder), size);

    rusage children{};
    ::getrusage(RUSAGE_CHILDREN, &children);
    std::printf("%-34s %.1f MB\n", "peak of all runs (RUSAGE_CHILDREN)", static_cast<double>(children.ru_maxrss) / 1024.0);
    fs::remove_all(folder);
    return 0;
}
