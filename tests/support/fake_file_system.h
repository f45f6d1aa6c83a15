// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Real files with chosen failures: wraps a FileSystem and makes one kind of call
// fail, for the failures a test cannot provoke with real files as root.
#include <memory>
#include <string>

#include "platform/file_system.h"

namespace brisko::test {

class FakeFileSystem final : public FileSystem {
public:
    explicit FakeFileSystem(FileSystem& real) : m_real(real) {}

    int failWriteLine = 0;            // the n-th WriteLine of any writer fails (1-based); 0 never
    bool failCommit = false;
    bool failReplace = false;         // every ReplaceFile fails
    std::string failCopyTo;           // CopyFile fails after creating a destination ending so
    int writeLines = 0;

    Status GetFolder(const std::string& path, FolderListing* listing) override {
        return m_real.GetFolder(path, listing);
    }
    std::unique_ptr<TextLineReader> OpenForReading(const std::string& path, Status* error) override {
        return m_real.OpenForReading(path, error);
    }
    std::unique_ptr<TextLineWriter> CreateForWriting(const std::string& path, Status* error) override;
    Status CopyFile(const std::string& from, const std::string& to) override;
    Status ReplaceFile(const std::string& from, const std::string& to) override {
        if (failReplace) return Status::Fail(13, "Permission denied");
        return m_real.ReplaceFile(from, to);
    }
    bool FileExists(const std::string& path) override { return m_real.FileExists(path); }
    bool FolderExists(const std::string& path) override { return m_real.FolderExists(path); }
    std::unique_ptr<FileLock> TryLock(const std::string& path, Status* error) override {
        return m_real.TryLock(path, error);
    }

private:
    FileSystem& m_real;
};

}  // namespace brisko::test
