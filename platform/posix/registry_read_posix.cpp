// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/registry_read_posix.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "winenv/winenv.h"

namespace brisko {
namespace {

constexpr long kErrorAccessDenied = 5;
constexpr long kErrorInvalidParameter = 87;
constexpr long kErrorRegistryCorrupt = 1015;

bool IsStringType(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

}  // namespace

RegistryReaderPosix::RegistryReaderPosix(std::string systemRoot) : m_store(std::move(systemRoot)) {}

const RegKey* RegistryReaderPosix::Hive(RegRoot root) {
    CachedHive& cached = m_cache[root];
    const std::string file = m_store.HiveFile(root);
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) return nullptr;
        if (cached.present || !cached.hive) {
            cached = CachedHive{};
            cached.hive = std::make_unique<RegKey>(RootName(root));
        }
        return cached.hive.get();
    }
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};

    struct stat info {};
    if (::fstat(fd, &info) != 0) return nullptr;
    // Every change renames a new file into place, so the same file means the same hive.
    if (cached.present && cached.hive && cached.device == info.st_dev && cached.inode == info.st_ino &&
        cached.size == static_cast<unsigned long long>(info.st_size) && cached.mtimeSec == info.st_mtim.tv_sec &&
        cached.mtimeNsec == info.st_mtim.tv_nsec) {
        return cached.hive.get();
    }
    std::unique_ptr<RegKey> hive;
    if (!m_store.ReadHive(root, fd, &hive).ok()) {
        cached = CachedHive{};
        return nullptr;
    }
    cached.present = true;
    cached.device = info.st_dev;
    cached.inode = info.st_ino;
    cached.size = static_cast<unsigned long long>(info.st_size);
    cached.mtimeSec = info.st_mtim.tv_sec;
    cached.mtimeNsec = info.st_mtim.tv_nsec;
    cached.hive = std::move(hive);
    return cached.hive.get();
}

long RegistryReaderPosix::OpenKey(std::uint32_t rootKey, const std::string& keyPath, RegKeyHandle* key) {
    if (!key) return kErrorInvalidParameter;
    *key = 0;
    OpenKeyInfo info{};
    // The root may be a predefined key or a key opened before.
    if (auto it = m_open.find(rootKey); it != m_open.end()) {
        info = it->second;
    } else if (!RootFromHandle(rootKey, &info.root)) {
        return kErrorInvalidHandle;
    }
    std::string_view path = keyPath;
    if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    std::vector<std::string> parts;
    if (!SplitKeyPath(path, &parts)) return kErrorFileNotFound;
    info.path.insert(info.path.end(), parts.begin(), parts.end());

    const RegKey* hive = Hive(info.root);
    if (!hive) return kErrorRegistryCorrupt;
    if (!hive->Find(info.path)) return kErrorFileNotFound;
    const RegKeyHandle handle = m_next++;
    m_open.emplace(handle, std::move(info));
    *key = handle;
    return kErrorSuccess;
}

long RegistryReaderPosix::QueryValue(RegKeyHandle key, const std::string& valueName, std::uint32_t* type,
                                     unsigned char* data, std::uint32_t* dataLength) {
    OpenKeyInfo info{};
    if (auto it = m_open.find(key); it != m_open.end()) {
        info = it->second;
    } else if (key > 0xFFFFFFFFu || !RootFromHandle(static_cast<std::uint32_t>(key), &info.root)) {
        return kErrorInvalidHandle;
    }
    if (data && !dataLength) return kErrorInvalidParameter;

    const RegKey* hive = Hive(info.root);
    if (!hive) return kErrorAccessDenied;
    const RegKey* found = hive->Find(info.path);
    if (!found) return kErrorFileNotFound;  // deleted since it was opened
    const RegValue* value = found->Value(valueName);
    if (!value) return kErrorFileNotFound;

    // The ANSI call hands strings over in the ANSI code page.
    std::string converted;
    const unsigned char* bytes = value->data.data();
    std::size_t size = value->data.size();
    if (IsStringType(value->type)) {
        converted = Utf16ToAnsi(BytesToUtf16(value->data.data(), value->data.size()));
        bytes = reinterpret_cast<const unsigned char*>(converted.data());
        size = converted.size();
    }
    if (type) *type = value->type;
    if (!dataLength) return kErrorSuccess;
    if (!data) {
        *dataLength = static_cast<std::uint32_t>(size);
        return kErrorSuccess;
    }
    if (size > *dataLength) {
        *dataLength = static_cast<std::uint32_t>(size);
        return kErrorMoreData;
    }
    if (size > 0) std::memcpy(data, bytes, size);
    *dataLength = static_cast<std::uint32_t>(size);
    return kErrorSuccess;
}

long RegistryReaderPosix::CloseKey(RegKeyHandle key) {
    if (m_open.erase(key) > 0) return kErrorSuccess;
    RegRoot root;
    if (key <= 0xFFFFFFFFu && RootFromHandle(static_cast<std::uint32_t>(key), &root)) return kErrorSuccess;
    return kErrorInvalidHandle;
}

}  // namespace brisko
