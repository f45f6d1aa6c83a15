#include "platform/posix/file_replace.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisko {
namespace {

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Close(); }
    int get() const { return m_fd; }
    int Close() {
        const int result = m_fd >= 0 ? ::close(m_fd) : 0;
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

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

}  // namespace

Status ReadWholeFile(const std::string& path, std::string* bytes, bool* exists) {
    bytes->clear();
    if (exists) *exists = false;
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
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
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) return Status::FromErrno(EISDIR);
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

Status ReplaceFileContents(const std::string& path, std::string_view bytes) {
    std::string temp = path + ".XXXXXX";
    Fd fd(::mkstemp(temp.data()));
    if (fd.get() < 0) return Fail("cannot create a temporary file beside", path, errno);
    struct Remover {  // the temporary file never outlives a failure
        std::string* path;
        ~Remover() {
            if (path) ::unlink(path->c_str());
        }
    } remover{&temp};

    ::fchmod(fd.get(), 0644);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail("cannot write", temp, errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd.get()) != 0) return Fail("cannot flush", temp, errno);
    if (fd.Close() != 0) return Fail("cannot close", temp, errno);
    if (::rename(temp.c_str(), path.c_str()) != 0) return Fail("cannot replace", path, errno);
    remover.path = nullptr;

    // Make the rename itself durable.
    Fd folder(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) ::fsync(folder.get());
    return Status::Ok();
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
