// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/file_system_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <strings.h>

#include "winenv/winenv.h"

namespace brisko {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

// Owns one descriptor; closes it on every path out.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int Release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void Reset(int fd) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = fd;
    }
    // Closes now and reports what close said (a late write error shows up here).
    Status Close() {
        int fd = m_fd;
        m_fd = -1;
        if (fd >= 0 && ::close(fd) != 0) return Status::FromErrno(errno);
        return Status::Ok();
    }

private:
    int m_fd;
};

// The system reads a path up to its first zero byte: a name built from a file's text
// ("Path=x\0...") would reach another file than the one asked for, so it reaches none.
bool Unrepresentable(const std::string& path) { return path.find('\0') != std::string::npos; }

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

Status WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Status::FromErrno(errno);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return Status::Ok();
}

Status OpenRegularForReading(const std::string& path, Fd* fd) {
    if (Unrepresentable(path)) return Status::FromErrno(EINVAL);
    Fd opened(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!opened.valid()) return Status::FromErrno(errno);
    struct stat st {};
    if (::fstat(opened.get(), &st) != 0) return Status::FromErrno(errno);
    if (S_ISDIR(st.st_mode)) return Status::FromErrno(EISDIR);
    fd->Reset(opened.Release());
    return Status::Ok();
}

Status OpenForWritingFd(const std::string& path, Fd* fd) {
    if (Unrepresentable(path)) return Status::FromErrno(EINVAL);
    int raw = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (raw < 0) return Status::FromErrno(errno);
    fd->Reset(raw);
    return Status::Ok();
}

class PosixLineReader final : public ChunkedLineReader {
public:
    explicit PosixLineReader(int fd) : m_fd(fd) {}

protected:
    Status ReadChunk(char* buffer, std::size_t size, std::size_t* read) override {
        for (;;) {
            const ssize_t n = ::read(m_fd.get(), buffer, size);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return Status::FromErrno(errno);
            *read = static_cast<std::size_t>(n);
            return Status::Ok();
        }
    }

private:
    Fd m_fd;
};

class PosixLineWriter final : public TextLineWriter {
public:
    explicit PosixLineWriter(int fd) : m_fd(fd) {}

    Status WriteLine(const std::string& line) override {
        if (!m_fd.valid()) return Status::FromErrno(EBADF);
        m_pending += line;
        m_pending += "\r\n";
        return m_pending.size() >= kChunk ? Flush() : Status::Ok();
    }

    Status Commit() override {
        if (!m_fd.valid()) return Status::FromErrno(EBADF);
        Status s = Flush();
        if (s.ok() && ::fsync(m_fd.get()) != 0) s = Status::FromErrno(errno);
        Status closed = m_fd.Close();
        return s.ok() ? closed : s;
    }

private:
    Status Flush() {
        Status s = WriteAll(m_fd.get(), m_pending.data(), m_pending.size());
        m_pending.clear();
        return s;
    }

    Fd m_fd;
    std::string m_pending;
};

}  // namespace

Status FileSystemPosix::GetFolder(const std::string& path, FolderListing* listing) {
    if (Unrepresentable(path)) return Status::FromErrno(EINVAL);
    const std::string folder = WithoutTrailingSlash(path);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return Status::FromErrno(errno);
    std::vector<std::string> files, folders;
    errno = 0;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        const std::string full = (folder == "/" ? "" : folder) + "/" + name;
        if (::lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            folders.push_back(name);
        else
            files.push_back(name);
    }
    const int readError = errno;
    ::closedir(dir);
    if (readError != 0) return Status::FromErrno(readError);

    auto byName = [](const std::string& a, const std::string& b) {
        int c = ::strcasecmp(a.c_str(), b.c_str());
        return c != 0 ? c < 0 : a < b;
    };
    std::sort(files.begin(), files.end(), byName);
    std::sort(folders.begin(), folders.end(), byName);

    listing->path = folder;
    listing->fileNames = std::move(files);
    listing->subFolderPaths.clear();
    for (const auto& name : folders) listing->subFolderPaths.push_back((folder == "/" ? "" : folder) + "/" + name);
    return Status::Ok();
}

std::unique_ptr<TextLineReader> FileSystemPosix::OpenForReading(const std::string& path, Status* error) {
    Fd fd;
    *error = OpenRegularForReading(path, &fd);
    if (!error->ok()) return nullptr;
    return std::make_unique<PosixLineReader>(fd.Release());
}

std::unique_ptr<TextLineWriter> FileSystemPosix::CreateForWriting(const std::string& path, Status* error) {
    Fd fd;
    *error = OpenForWritingFd(path, &fd);
    if (!error->ok()) return nullptr;
    return std::make_unique<PosixLineWriter>(fd.Release());
}

Status FileSystemPosix::CopyFile(const std::string& from, const std::string& to) {
    Fd in;
    if (Status s = OpenRegularForReading(from, &in); !s.ok()) return s;
    Fd out;
    if (Status s = OpenForWritingFd(to, &out); !s.ok()) return s;
    std::string buffer(kChunk, '\0');
    for (;;) {
        ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Status::FromErrno(errno);
        if (n == 0) break;
        if (Status s = WriteAll(out.get(), buffer.data(), static_cast<std::size_t>(n)); !s.ok()) return s;
    }
    if (::fsync(out.get()) != 0) return Status::FromErrno(errno);
    return out.Close();
}

Status FileSystemPosix::ReplaceFile(const std::string& from, const std::string& to) {
    if (Unrepresentable(from) || Unrepresentable(to)) return Status::FromErrno(EINVAL);
    // A prefs.js that is a link keeps being one: the file it names is what changes.
    return MoveFileOver(from, to);
}

bool FileSystemPosix::FileExists(const std::string& path) {
    struct stat st {};
    return !Unrepresentable(path) && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FileSystemPosix::FolderExists(const std::string& path) {
    struct stat st {};
    return !Unrepresentable(path) && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

class PosixFileLock final : public FileLock {
public:
    explicit PosixFileLock(int fd) : m_fd(fd) {}  // closing the descriptor lets go

private:
    Fd m_fd;
};

}  // namespace

std::unique_ptr<FileLock> FileSystemPosix::TryLock(const std::string& path, Status* error) {
    *error = Status::Ok();
    if (Unrepresentable(path)) {
        *error = Status::FromErrno(EINVAL);
        return nullptr;
    }
    Fd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!fd.valid()) {
        *error = Status::FromErrno(errno);
        return nullptr;
    }
    while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) *error = Status::FromErrno(errno);
        return nullptr;
    }
    return std::make_unique<PosixFileLock>(fd.Release());
}

}  // namespace brisko
