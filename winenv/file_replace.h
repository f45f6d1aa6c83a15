// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whole-file reads and safe replacement: the new content goes to a temporary file in
// the same folder, is flushed to disk and renamed over the target, so readers see
// the whole old file or the whole new one and a failed write leaves the old intact.
// Every program of ours that replaces a file does it through here.
#include <string>
#include <string_view>

#include "platform/error.h"

namespace brisko {

// Temporary files are named "<target>.brisko-temp-<pid>-XXXXXX", so that one left by a
// writer that was killed can be recognised and removed.
inline constexpr std::string_view kTempMarker = ".brisko-temp-";

// *exists is false (and Ok returned) when the file is not there.
Status ReadWholeFile(const std::string& path, std::string* bytes, bool* exists = nullptr);

// Reads an open file from where it stands to its end.
Status ReadOpenFile(int fd, std::string* bytes);

// Where saving to path really writes: symbolic links are followed to the file they
// name (which need not exist yet), as any program that saves a file does. Anything
// but a regular file (a folder, a device, a FIFO, a socket) is refused: renaming over
// it would destroy it.
Status ResolveSaveTarget(const std::string& path, std::string* target);

// An open file descriptor, closed when it goes.
class UniqueFd {
public:
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();
    int get() const { return m_fd; }
    int Close();  // close's result; later calls do nothing

private:
    int m_fd;
};

// A new version of a file being written. Begin creates the temporary file beside the
// resolved target; Commit flushes it and renames it into place; a replacement that
// ends without Commit removes its temporary file and leaves the target untouched.
// The new file keeps the mode (and, where allowed, the owner) of the one it replaces.
class FileReplacement {
public:
    FileReplacement() = default;
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;
    ~FileReplacement();

    Status Begin(const std::string& path);
    Status Write(std::string_view bytes);
    Status Commit();
    void Discard();
    const std::string& Target() const { return m_target; }

private:
    int m_fd = -1;
    std::string m_target, m_temp;
};

Status ReplaceFileContents(const std::string& path, std::string_view bytes);

// Puts the finished file from in the place of to (links followed, as above) and
// removes from. A plain rename when both lie on one file system, else a copy.
Status MoveFileOver(const std::string& from, const std::string& to);

// Removes temporary files in folder whose writer no longer runs. Call it holding the
// lock that writers of that folder take.
void RemoveStaleTemporaries(const std::string& folder);

// Creates the folder and its missing parents.
Status MakeFolders(const std::string& path);

}  // namespace brisko
