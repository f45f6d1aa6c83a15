// SPDX-License-Identifier: GPL-3.0-or-later
#include "winenv/file_replace.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisko {

UniqueFd::~UniqueFd() { Close(); }

int UniqueFd::Close() {
    const int result = m_fd >= 0 ? ::close(m_fd) : 0;
    m_fd = -1;
    return result;
}

namespace {

Status Fail(const std::string& what, const std::string& path, int err) {
    Status status = Status::FromErrno(err);
    status.text = what + " " + path + ": " + status.text;
    return status;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Makes a rename durable.
void SyncFolderOf(const std::string& path) {
    UniqueFd folder(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) ::fsync(folder.get());
}

Status WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return Status::FromErrno(errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return Status::Ok();
}

const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

// A name nobody else picks: the process id says whose it is, the rest tells two
// files of one process apart.
std::string TemporaryName(const std::string& target, unsigned attempt) {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::atomic<unsigned> counter{0};
    auto seed = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    seed ^= (static_cast<unsigned long long>(++counter) << 40) ^ attempt;
    std::string suffix;
    for (int i = 0; i < 6; ++i, seed /= 62) suffix += kLetters[seed % 62];
    // Long names are cut so that the temporary name still fits in a folder entry.
    const std::string name = NameOf(target).substr(0, 128);
    return FolderOf(target) + "/" + name + std::string(kTempMarker) + std::to_string(::getpid()) + "-" + suffix;
}

}  // namespace

Status ReadWholeFile(const std::string& path, std::string* bytes, bool* exists) {
    bytes->clear();
    if (exists) *exists = false;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT && exists) return Status::Ok();
        return Fail("cannot open", path, errno);
    }
    Status status = ReadOpenFile(fd.get(), bytes);
    if (!status.ok()) {
        status.text = "cannot read " + path + ": " + status.text;
        return status;
    }
    if (exists) *exists = true;
    return Status::Ok();
}

Status ReadOpenFile(int fd, std::string* bytes) {
    bytes->clear();
    struct stat info {};
    if (::fstat(fd, &info) == 0) {
        if (S_ISDIR(info.st_mode)) return Status::FromErrno(EISDIR);
        // One allocation of the right size, not a doubling string that peaks at twice it.
        if (S_ISREG(info.st_mode) && info.st_size > 0) bytes->reserve(static_cast<std::size_t>(info.st_size));
    }
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) return Status::Ok();
        if (n < 0) {
            if (errno == EINTR) continue;
            return Status::FromErrno(errno);
        }
        bytes->append(buffer, static_cast<std::size_t>(n));
    }
}

Status ResolveSaveTarget(const std::string& path, std::string* target) {
    std::string current = path;
    for (int links = 0;; ++links) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0) {
            if (errno != ENOENT) return Fail("cannot look at", current, errno);
            *target = current;  // a new file, or the one a dangling link names
            return Status::Ok();
        }
        if (S_ISREG(info.st_mode)) {
            *target = current;
            return Status::Ok();
        }
        if (!S_ISLNK(info.st_mode)) {
            return Status::Fail(S_ISDIR(info.st_mode) ? EISDIR : EINVAL,
                                "cannot replace " + current + ": it is " + KindOf(info.st_mode) +
                                    ", not a regular file; it is left as it is");
        }
        if (links >= 40) return Fail("cannot follow", path, ELOOP);
        std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
        if (n < 0) return Fail("cannot follow", current, errno);
        link.resize(static_cast<std::size_t>(n));
        current = !link.empty() && link[0] == '/' ? link : FolderOf(current) + "/" + link;
    }
}

FileReplacement::~FileReplacement() { Discard(); }

Status FileReplacement::Begin(const std::string& path) {
    Discard();
    Status status = ResolveSaveTarget(path, &m_target);
    if (!status.ok()) return status;
    for (unsigned attempt = 0; m_fd < 0; ++attempt) {
        m_temp = TemporaryName(m_target, attempt);
        // Created as any new file is (the umask decides its mode).
        m_fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0 && (errno != EEXIST || attempt > 100)) {
            const int err = errno;
            m_temp.clear();
            return Fail("cannot create a temporary file beside", m_target, err);
        }
    }
    struct stat old {};
    if (::stat(m_target.c_str(), &old) == 0) {
        ::fchmod(m_fd, old.st_mode & 07777);
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            const int kept = ::fchown(m_fd, old.st_uid, old.st_gid);  // only root may give a file away
            (void)kept;
        }
    }
    return Status::Ok();
}

Status FileReplacement::Write(std::string_view bytes) {
    if (m_fd < 0) return Status::FromErrno(EBADF);
    Status status = WriteAll(m_fd, bytes);
    if (!status.ok()) status.text = "cannot write " + m_temp + ": " + status.text;
    return status;
}

Status FileReplacement::Commit() {
    if (m_fd < 0) return Status::FromErrno(EBADF);
    if (::fsync(m_fd) != 0) return Fail("cannot flush", m_temp, errno);
    const int closed = ::close(m_fd);
    m_fd = -1;
    if (closed != 0) return Fail("cannot close", m_temp, errno);
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0) return Fail("cannot replace", m_target, errno);
    m_temp.clear();
    SyncFolderOf(m_target);
    return Status::Ok();
}

void FileReplacement::Discard() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_temp.empty()) ::unlink(m_temp.c_str());
    m_temp.clear();
}

Status ReplaceFileContents(const std::string& path, std::string_view bytes) {
    FileReplacement replacement;
    Status status = replacement.Begin(path);
    if (status.ok()) status = replacement.Write(bytes);
    if (status.ok()) status = replacement.Commit();
    return status;
}

Status MoveFileOver(const std::string& from, const std::string& to) {
    std::string target;
    Status status = ResolveSaveTarget(to, &target);
    if (!status.ok()) return status;
    // The new file keeps the permissions of the one it replaces.
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) ::chmod(from.c_str(), old.st_mode & 07777);
    if (::rename(from.c_str(), target.c_str()) == 0) {
        SyncFolderOf(target);
        return Status::Ok();
    }
    if (errno != EXDEV) return Status::FromErrno(errno);

    // A link into another file system: the bytes travel, the rename happens over there.
    UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) return Fail("cannot open", from, errno);
    FileReplacement replacement;
    status = replacement.Begin(target);
    char buffer[65536];
    while (status.ok()) {
        const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Fail("cannot read", from, errno);
        status = replacement.Write(std::string_view(buffer, static_cast<std::size_t>(n)));
    }
    if (status.ok()) status = replacement.Commit();
    if (status.ok()) ::unlink(from.c_str());
    return status;
}

void RemoveStaleTemporaries(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        const std::size_t marker = name.find(kTempMarker);
        if (marker == std::string_view::npos) continue;
        long long pid = 0;
        std::size_t i = marker + kTempMarker.size();
        const std::size_t digits = i;
        for (; i < name.size() && name[i] >= '0' && name[i] <= '9' && pid < (1LL << 31); ++i)
            pid = pid * 10 + (name[i] - '0');
        if (i == digits || i >= name.size() || name[i] != '-' || pid <= 0 || pid >= (1LL << 31)) continue;
        // EPERM means another user's process is alive under that id.
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

Status MakeFolders(const std::string& path) {
    if (path.empty()) return Status::Fail(ENOENT, "empty folder name");
    std::size_t pos = 0;
    while (true) {
        pos = path.find('/', pos + 1);
        const std::string part = path.substr(0, pos);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return Fail("cannot create folder", part, errno);
        if (pos == std::string::npos) break;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return Fail("cannot create folder", path, ENOTDIR);
    }
    return Status::Ok();
}

}  // namespace brisko
