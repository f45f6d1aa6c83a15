#include "platform/posix/registry_store.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/posix/file_replace.h"
#include "platform/posix/reg_file.h"

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

}  // namespace

RegKey* RegistryTransaction::Hive(RegRoot root) {
    auto it = m_hives.find(root);
    if (it != m_hives.end()) return it->second.hive.get();
    Loaded loaded;
    Status status = ReadWholeFile(m_store.HiveFile(root), &loaded.original, &loaded.existed);
    if (status.ok()) status = m_store.ParseHive(root, loaded.original, &loaded.hive);
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

Status RegistryStore::ParseHive(RegRoot root, const std::string& bytes, std::unique_ptr<RegKey>* hive) const {
    *hive = std::make_unique<RegKey>(RootName(root));
    if (bytes.empty()) return Status::Ok();
    const std::string file = HiveFile(root);
    const RegFileContent content = ParseRegFile(bytes, file);
    if (!content.headerOk) {
        // Writing over it would lose whatever it holds; leave it for a person to look at.
        return Status::Fail(EINVAL, "registry hive " + file + " is damaged (no registry header)");
    }
    for (const RegCommand& command : content.commands) {
        if (command.root == root) ApplyRegCommand(**hive, command);
    }
    return Status::Ok();
}

Status RegistryStore::Load(RegRoot root, std::unique_ptr<RegKey>* hive) const {
    std::string bytes;
    bool exists = false;
    Status status = ReadWholeFile(HiveFile(root), &bytes, &exists);
    if (!status.ok()) return status;
    return ParseHive(root, bytes, hive);
}

Status RegistryStore::Modify(const std::function<Status(RegistryTransaction&)>& change) {
    Status status = MakeFolders(Folder());
    if (!status.ok()) return status;
    ExclusiveLock lock;
    status = lock.Acquire(LockFile());
    if (!status.ok()) return status;

    RegistryTransaction transaction(*this);
    status = change(transaction);
    if (!status.ok()) return status;
    if (!transaction.m_failure.ok()) return transaction.m_failure;

    for (const auto& [root, loaded] : transaction.m_hives) {
        if (!loaded.existed && IsEmpty(*loaded.hive)) continue;
        const std::string text = ExportRegFile({{RootName(root), loaded.hive.get()}});
        if (text == loaded.original) continue;
        status = ReplaceFileContents(HiveFile(root), text);
        if (!status.ok()) return status;
    }
    return Status::Ok();
}

}  // namespace brisko
