// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/process_start_posix.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <system_error>
#include <thread>

#include "platform/command_line.h"

extern char** environ;

namespace brisko {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool HasDriveLetter(std::string_view name) {
    return name.size() >= 2 && name[1] == ':' &&
           ((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= 'A' && name[0] <= 'Z'));
}

bool EndsWithExe(std::string_view name) {
    if (name.size() <= 4) return false;
    const std::string_view tail = name.substr(name.size() - 4);
    return tail[0] == '.' && (tail[1] == 'e' || tail[1] == 'E') && (tail[2] == 'x' || tail[2] == 'X') &&
           (tail[3] == 'e' || tail[3] == 'E');
}

std::string JoinNative(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + '/' + name;
}

std::string CurrentFolder() {
    std::string buffer(4096, '\0');
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return ".";
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

// 0 when path is a file we may execute; ENOENT when there is nothing; EACCES for a
// folder or a file without execute permission.
int CheckExecutable(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return ENOENT;
    if (!S_ISREG(st.st_mode) || access(path.c_str(), X_OK) != 0) return EACCES;
    return 0;
}

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// Owns the spawn attributes and file actions for one start.
class SpawnSetup {
public:
    SpawnSetup() {
        m_ready = posix_spawnattr_init(&m_attr) == 0;
        if (!m_ready) return;
        m_ready = posix_spawn_file_actions_init(&m_actions) == 0;
        if (!m_ready) {
            posix_spawnattr_destroy(&m_attr);
            return;
        }
        // The child starts like a fresh program: no blocked signals, default handlers
        // (the GUI may ignore SIGPIPE; the child should not inherit that).
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&m_attr, &none);
        posix_spawnattr_setsigdefault(&m_attr, &all);
        posix_spawnattr_setflags(&m_attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        // Our sockets and lock files stay ours: a long-lived child (a browser) must not
        // keep, say, the registry store's lock open after we have let go of it.
        posix_spawn_file_actions_addclosefrom_np(&m_actions, 3);
#endif
    }
    ~SpawnSetup() {
        if (!m_ready) return;
        posix_spawn_file_actions_destroy(&m_actions);
        posix_spawnattr_destroy(&m_attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    bool Ready() const { return m_ready; }
    // The child changes into folder before the program runs.
    int StartIn(const std::string& folder) { return posix_spawn_file_actions_addchdir_np(&m_actions, folder.c_str()); }
    const posix_spawnattr_t* Attr() const { return &m_attr; }
    const posix_spawn_file_actions_t* Actions() const { return &m_actions; }

private:
    posix_spawnattr_t m_attr{};
    posix_spawn_file_actions_t m_actions{};
    bool m_ready = false;
};

}  // namespace

ProcessStarterPosix::ProcessStarterPosix(std::string programFolder, const PathMapper* paths,
                                         std::vector<std::string> ownPrograms)
    : m_programFolder(std::move(programFolder)), m_paths(paths), m_ownPrograms(std::move(ownPrograms)) {}

bool ProcessStarterPosix::IsOwnProgram(const std::string& name) const {
    const std::string bare = EndsWithExe(name) ? name.substr(0, name.size() - 4) : name;
    const auto same = [&bare](const std::string& own) {
        return own.size() == bare.size() && std::equal(own.begin(), own.end(), bare.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
               });
    };
    return std::any_of(m_ownPrograms.begin(), m_ownPrograms.end(), same);
}

ProcessStarterPosix::~ProcessStarterPosix() { SweepChildren(); }

std::vector<std::string> ProcessStarterPosix::SearchFolders() const {
    std::vector<std::string> folders;
    if (!m_programFolder.empty()) folders.push_back(m_programFolder);
    const std::string current = CurrentFolder();
    folders.push_back(current);

    std::string path;
    if (const char* env = std::getenv("PATH")) {
        path = env;
    } else {
        const std::size_t size = confstr(_CS_PATH, nullptr, 0);
        if (size > 0) {
            path.resize(size);
            confstr(_CS_PATH, path.data(), size);
            path.resize(size - 1);
        }
    }
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t stop = path.find(':', start);
        if (stop == std::string::npos) stop = path.size();
        // An empty PATH entry means the current folder, as the shells read it.
        folders.push_back(stop == start ? current : path.substr(start, stop - start));
        start = stop + 1;
    }
    return folders;
}

ProcessStarterPosix::Lookup ProcessStarterPosix::Resolve(const std::string& name) const {
    std::vector<std::string> variants{name};
    if (EndsWithExe(name)) variants.push_back(name.substr(0, name.size() - 4));

    Lookup lookup{{}, ENOENT};
    auto accept = [&](const std::string& path) {
        const int error = CheckExecutable(path);
        if (error == 0) {
            lookup = {path, 0};
            return true;
        }
        if (error == EACCES) lookup.error = EACCES;
        return false;
    };

    if (HasDriveLetter(name) || name.find('\\') != std::string::npos) {
        for (const std::string& variant : variants) {
            std::string native = variant;
            if (m_paths != nullptr) {
                native = m_paths->ToNative(variant);
            } else {
                for (char& c : native)
                    if (c == '\\') c = '/';
            }
            if (accept(native)) return lookup;
        }
    } else if (name.find('/') != std::string::npos) {
        for (const std::string& variant : variants)
            if (accept(variant)) return lookup;
    } else if (IsOwnProgram(name)) {
        // Delivered under its name in small letters; Windows would take it in any case.
        std::string lower = variants.back();
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        variants.push_back(lower);
        for (const std::string& variant : variants)
            if (accept(JoinNative(m_programFolder, variant))) return lookup;
    } else {
        for (const std::string& folder : SearchFolders())
            for (const std::string& variant : variants)
                if (accept(JoinNative(folder, variant))) return lookup;
    }
    return lookup;
}

Status ProcessStarterPosix::Start(const std::string& commandLine, WindowState /*state*/,
                                  const std::string& workingFolder) {
    SweepChildren();

    const ProgramName program = ReadProgramName(commandLine);
    if (program.name.empty())
        return Status::Fail(EINVAL, "There is no program to start: the command line is empty.");

    Lookup found = Resolve(program.name);
    std::size_t argumentsStart = program.end;
    if (found.path.empty() && !program.quoted) {
        // Windows reads an unquoted "C:\Program Files\x.exe" as the first name that
        // exists among "C:\Program", "C:\Program Files\x.exe", ...; do the same.
        const std::size_t nameStart = commandLine.find_first_not_of(" \t");
        for (std::size_t i = program.end + 1; i <= commandLine.size(); ++i) {
            const bool endsWord = (i == commandLine.size() || IsBlank(commandLine[i])) && !IsBlank(commandLine[i - 1]);
            if (!endsWord) continue;
            const Lookup longer = Resolve(commandLine.substr(nameStart, i - nameStart));
            if (!longer.path.empty()) {
                found = longer;
                argumentsStart = i;
                break;
            }
        }
    }
    if (found.path.empty() && IsOwnProgram(program.name))
        return Status::Fail(found.error, "Brisko's own program " + Quoted(program.name) + " could not be " +
                                             (found.error == EACCES ? "started" : "found") + " in " +
                                             Quoted(m_programFolder) +
                                             ", where it is delivered; no other program of that name is started "
                                             "in its place.");
    if (found.path.empty()) {
        if (found.error == EACCES)
            return Status::Fail(EACCES, "The program " + Quoted(program.name) + " could not be started: it is not an executable file.");
        return Status::Fail(ENOENT, "The program " + Quoted(program.name) + " could not be found.");
    }

    if (!workingFolder.empty()) {
        struct stat st {};
        if (stat(workingFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return Status::Fail(ENOENT, "The program " + Quoted(program.name) + " could not be started: the folder " +
                                            Quoted(workingFolder) + " to start it in does not exist.");
        // Found from our folder; the child looks from its own.
        if (found.path.front() != '/') {
            std::string_view relative = found.path;
            while (relative.starts_with("./")) relative.remove_prefix(2);
            found.path = JoinNative(CurrentFolder(), std::string(relative));
        }
    }

    std::vector<std::string> args{found.path};
    for (std::string& arg : SplitWindowsArguments(std::string_view(commandLine).substr(argumentsStart)))
        args.push_back(std::move(arg));
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    SpawnSetup setup;
    if (!setup.Ready() || (!workingFolder.empty() && setup.StartIn(workingFolder) != 0))
        return Status::Fail(ENOMEM, "The program " + Quoted(program.name) + " could not be started: " + std::strerror(ENOMEM) + ".");
    pid_t child = 0;
    const int rc = posix_spawn(&child, found.path.c_str(), setup.Actions(), setup.Attr(), argv.data(), environ);
    if (rc != 0)
        return Status::Fail(rc, "The program " + Quoted(program.name) + " could not be started: " + std::strerror(rc) + ".");
    Reap(child);
    return Status::Ok();
}

// Nobody waits for the program, but it must not stay a zombie when it ends. A small
// detached thread per child blocks in waitpid on that one pid: it touches no state of
// ours and cannot steal another part of the program's children (as a SIGCHLD handler
// or waitpid(-1) could), and a browser that runs for hours costs one sleeping thread.
// Should no thread be available, the pid is kept and collected by later sweeps.
void ProcessStarterPosix::Reap(pid_t child) {
    try {
        std::thread([child] {
            int status = 0;
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        m_unreaped.push_back(child);
    }
}

void ProcessStarterPosix::SweepChildren() {
    std::erase_if(m_unreaped, [](pid_t child) {
        int status = 0;
        const pid_t rc = waitpid(child, &status, WNOHANG);
        return rc == child || (rc < 0 && errno == ECHILD);
    });
}

}  // namespace brisko
