// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The emulated registry on disk: <systemRoot>/registry/HKEY_LOCAL_MACHINE.reg and so
// on, one hive per root key. Each hive is a "Windows Registry Editor Version 5.00"
// file in UTF-16LE with byte order mark and CR LF, the form regedit exports: a hive
// can be imported on Windows as it is, and names beyond ASCII survive any code page.
// Changes run as read-modify-write transactions under an exclusive flock on
// registry/registry.lock; hives are replaced atomically, never written in place, so
// readers need no lock at all and never wait for a writer.
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/error.h"
#include "winenv/registry_tree.h"

namespace brisko {

class RegistryStore;

// The hives one transaction works on, read when first asked for.
class RegistryTransaction {
public:
    // nullptr when the hive cannot be read; the transaction then writes nothing.
    RegKey* Hive(RegRoot root);

private:
    friend class RegistryStore;
    explicit RegistryTransaction(const RegistryStore& store) : m_store(store) {}

    struct Loaded {
        std::unique_ptr<RegKey> hive;
        bool existed = false;
    };
    const RegistryStore& m_store;
    std::map<RegRoot, Loaded> m_hives;
    Status m_failure;
};

class RegistryStore {
public:
    explicit RegistryStore(std::string systemRoot);

    std::string Folder() const;
    std::string HiveFile(RegRoot root) const;
    std::string LockFile() const;

    // Reads one hive without the lock (a hive is always replaced whole). A missing
    // hive is an empty root key.
    Status Load(RegRoot root, std::unique_ptr<RegKey>* hive) const;

    // Runs change on the hives while holding the lock, then writes back every hive
    // that changed. When change fails, or a hive it asked for could not be read,
    // nothing is written. Hives are replaced one by one. Temporary files that killed
    // writers left behind are removed first.
    Status Modify(const std::function<Status(RegistryTransaction&)>& change);

    // An open hive file -> root key. An empty file is an empty hive; anything else
    // must carry a registry header, or the hive counts as damaged.
    Status ReadHive(RegRoot root, int fd, std::unique_ptr<RegKey>* hive) const;

private:
    Status WriteHive(RegRoot root, const RegKey& hive) const;
    void RemoveLeftovers() const;

    std::string m_systemRoot;
};

}  // namespace brisko
