// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/file_system.h"

namespace brisko {

// Files through kernel32's W functions, paths in UTF-8. Listings are sorted by name without regard
// to case, as Explorer shows them; junctions and links count as files, so a walk
// cannot loop (a profile holds junctions that point back up). The replace is
// MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH): one step on NTFS.
class FileSystemWin32 final : public FileSystem {
public:
    Status GetFolder(const std::string& path, FolderListing* listing) override;
    std::unique_ptr<TextLineReader> OpenForReading(const std::string& path, Status* error) override;
    std::unique_ptr<TextLineWriter> CreateForWriting(const std::string& path, Status* error) override;
    Status CopyFile(const std::string& from, const std::string& to) override;
    Status ReplaceFile(const std::string& from, const std::string& to) override;
    bool FileExists(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    std::unique_ptr<FileLock> TryLock(const std::string& path, Status* error) override;
};

}  // namespace brisko
