// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/append_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace brisko {

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    int get() const { return m_fd; }
    void Reset(int fd) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

Status Failed(const std::string& what, const std::string& path) {
    Status status = Status::FromErrno(errno);
    status.text = what + " " + path + ": " + status.text;
    return status;
}

// Only a regular file keeps what is written to it: a FIFO would swallow the records
// (or block whoever reads it), a link to /dev/null lose them silently. Opened without
// blocking, so that a FIFO is refused instead of waited on.
Status OpenRegular(const std::string& path, int flags, Descriptor* fd) {
    int raw = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0644);
    if (raw < 0) return Status::FromErrno(errno);
    fd->Reset(raw);
    struct stat info {};
    if (::fstat(raw, &info) != 0) return Status::FromErrno(errno);
    if (!S_ISREG(info.st_mode)) return Status::Fail(EINVAL, "not a regular file");
    if (::fcntl(raw, F_SETFL, ::fcntl(raw, F_GETFL) & ~O_NONBLOCK) != 0) return Status::FromErrno(errno);
    return Status::Ok();
}

Status Failed(const std::string& what, const std::string& path, Status why) {
    why.text = what + " " + path + ": " + why.text;
    return why;
}

}  // namespace

Status AppendBlock(const std::string& path, const std::string& block) {
    Descriptor fd(-1);
    if (Status s = OpenRegular(path, O_RDWR | O_APPEND | O_CREAT, &fd); !s.ok()) return Failed("cannot open", path, s);
    std::string bytes;
    struct stat info {};
    char last = '\n';
    if (::fstat(fd.get(), &info) == 0 && info.st_size > 0 && ::pread(fd.get(), &last, 1, info.st_size - 1) == 1 &&
        last != '\n')
        bytes = "\n";
    bytes += block;
    // One write: O_APPEND puts it at the end as a whole, whoever else is appending.
    ssize_t written;
    do {
        written = ::write(fd.get(), bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    if (written < 0) return Failed("cannot write to", path);
    if (static_cast<std::size_t>(written) != bytes.size()) {
        errno = ENOSPC;
        return Failed("cannot write all of a record to", path);
    }
    return Status::Ok();
}

Status ReadAppendedFile(const std::string& path, std::string* bytes, bool* missing) {
    bytes->clear();
    *missing = false;
    Descriptor fd(-1);
    if (Status s = OpenRegular(path, O_RDONLY, &fd); !s.ok()) {
        if (s.code == ENOENT) {
            *missing = true;
            return Status::Ok();
        }
        return Failed("cannot open", path, s);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) == 0 && info.st_size > 0) bytes->reserve(static_cast<std::size_t>(info.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            return Failed("cannot read", path);
        }
        bytes->append(buffer, static_cast<std::size_t>(got));
    }
    return Status::Ok();
}

}  // namespace brisko
