// SPDX-License-Identifier: GPL-3.0-or-later
#include "winenv/registry_store.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "winenv/file_replace.h"
#include "winenv/reg_file.h"

namespace brisko {
namespace {

// Holds an exclusive flock for its lifetime.
class ExclusiveLock {
public:
    Status Acquire(const std::string& path) {
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd < 0) return Failure("cannot open lock file " + path);
        while (::flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) return Failure("cannot lock " + path);
        }
        return Status::Ok();
    }
    ~ExclusiveLock() {
        if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
    }

private:
    static Status Failure(const std::string& what) {
        Status status = Status::FromErrno(errno);
        status.text = what + ": " + status.text;
        return status;
    }
    int m_fd = -1;
};

bool IsEmpty(const RegKey& key) { return key.Values().empty() && key.Subkeys().empty(); }

// Reads exactly size bytes (fewer only at the end of the file).
bool ReadPiece(int fd, std::size_t size, std::string* piece) {
    piece->resize(size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, piece->data() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    piece->resize(done);
    return done == size;
}

// What writers before this version named their temporary hives: "<hive>.XXXXXX".
bool IsOldTemporary(const std::string& name) {
    for (RegRoot root : kAllRegRoots) {
        const std::string prefix = std::string(RootName(root)) + ".reg.";
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
}

}  // namespace

RegKey* RegistryTransaction::Hive(RegRoot root) {
    auto it = m_hives.find(root);
    if (it != m_hives.end()) return it->second.hive.get();
    Loaded loaded;
    const std::string file = m_store.HiveFile(root);
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    Status status;
    if (fd.get() >= 0) {
        loaded.existed = true;
        status = m_store.ReadHive(root, fd.get(), &loaded.hive);
    } else if (errno == ENOENT) {
        loaded.hive = std::make_unique<RegKey>(RootName(root));
    } else {
        status = Status::FromErrno(errno);
        status.text = "cannot open " + file + ": " + status.text;
    }
    if (!status.ok()) {
        if (m_failure.ok()) m_failure = status;
        return nullptr;
    }
    return m_hives.emplace(root, std::move(loaded)).first->second.hive.get();
}

RegistryStore::RegistryStore(std::string systemRoot) : m_systemRoot(std::move(systemRoot)) {}

std::string RegistryStore::Folder() const { return m_systemRoot + "/registry"; }

std::string RegistryStore::HiveFile(RegRoot root) const { return Folder() + "/" + RootName(root) + ".reg"; }

std::string RegistryStore::LockFile() const { return Folder() + "/registry.lock"; }

Status RegistryStore::ReadHive(RegRoot root, int fd, std::unique_ptr<RegKey>* hive) const {
    *hive = std::make_unique<RegKey>(RootName(root));
    const std::string file = HiveFile(root);
    RegApplier applier(**hive);
    RegParseSummary summary;
    Status status = ParseRegFd(fd, file,
                               {[&](RegCommand& command) {
                                    if (command.root == root) applier.Apply(command);
                                    return true;
                                },
                                nullptr},
                               &summary);
    if (!status.ok()) {
        status.text = "cannot read " + file + ": " + status.text;
        return status;
    }
    if (!summary.empty && !summary.headerOk) {
        // Writing over it would lose whatever it holds; leave it for a person to look at.
        return Status::Fail(EINVAL, "registry hive " + file + " is damaged (no registry header)");
    }
    return Status::Ok();
}

Status RegistryStore::Load(RegRoot root, std::unique_ptr<RegKey>* hive) const {
    const std::string file = HiveFile(root);
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno != ENOENT) {
            Status status = Status::FromErrno(errno);
            status.text = "cannot open " + file + ": " + status.text;
            return status;
        }
        *hive = std::make_unique<RegKey>(RootName(root));
        return Status::Ok();
    }
    return ReadHive(root, fd.get(), hive);
}

Status RegistryStore::WriteHive(RegRoot root, const RegKey& hive) const {
    FileReplacement replacement;
    Status status = replacement.Begin(HiveFile(root));
    if (!status.ok()) return status;
    // The new text is compared with the file piece by piece as it is written: a hive
    // that did not change is left as it is, neither held twice in memory nor replaced.
    UniqueFd old(::open(replacement.Target().c_str(), O_RDONLY | O_CLOEXEC));
    bool same = old.get() >= 0;
    std::string piece;
    RegFileWriter writer([&](std::string_view bytes) {
        if (same) same = ReadPiece(old.get(), bytes.size(), &piece) && piece == bytes;
        status = replacement.Write(bytes);
        return status.ok();
    });
    writer.Key(RootName(root), hive);
    writer.Finish();
    if (!status.ok()) return status;
    if (same && !ReadPiece(old.get(), 1, &piece)) return Status::Ok();  // the destructor drops the copy
    return replacement.Commit();
}

void RegistryStore::RemoveLeftovers() const {
    RemoveStaleTemporaries(Folder());
    // Nobody writes hives while we hold the lock, so these are all stale.
    DIR* dir = ::opendir(Folder().c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        if (IsOldTemporary(entry->d_name)) ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

Status RegistryStore::Modify(const std::function<Status(RegistryTransaction&)>& change) {
    Status status = MakeFolders(Folder());
    if (!status.ok()) return status;
    ExclusiveLock lock;
    status = lock.Acquire(LockFile());
    if (!status.ok()) return status;
    RemoveLeftovers();

    RegistryTransaction transaction(*this);
    status = change(transaction);
    if (!status.ok()) return status;
    if (!transaction.m_failure.ok()) return transaction.m_failure;

    for (const auto& [root, loaded] : transaction.m_hives) {
        if (!loaded.existed && IsEmpty(*loaded.hive)) continue;
        status = WriteHive(root, *loaded.hive);
        if (!status.ok()) return status;
    }
    return Status::Ok();
}

}  // namespace brisko
