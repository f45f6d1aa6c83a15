// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Files and folders as the preference patcher needs them: line-wise text files,
// folder listings, copies and an atomic replace. Paths are native.
// Back ends: FileSystemPosix (posix/), FileSystemWin32 (win32/).
// SystemServices (platform/services.h) owns it; the boost borrows it.
#include <memory>
#include <string>
#include <vector>

#include "platform/error.h"

namespace brisko {

struct FolderListing {
    std::string path;                         // full path, no trailing separator
    std::vector<std::string> fileNames;       // names only, in listing order
    std::vector<std::string> subFolderPaths;  // full paths, in listing order
};

class TextLineReader {
public:
    virtual ~TextLineReader() = default;
    virtual bool AtEndOfStream() = 0;
    // One line, ended by CR or CR LF (the terminator is dropped). Fails past the end.
    virtual Status ReadLine(std::string* line) = 0;
};

// A line reader over any source of bytes: back ends supply the reads, the splitting
// into lines is the same everywhere.
class ChunkedLineReader : public TextLineReader {
public:
    bool AtEndOfStream() override;
    Status ReadLine(std::string* line) override;

protected:
    // Reads up to size bytes into buffer; *read = 0 at the end of the file.
    virtual Status ReadChunk(char* buffer, std::size_t size, std::size_t* read) = 0;

private:
    bool Fill();  // true while bytes are waiting; reads more when the buffer is spent

    std::string m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_size = 0;
    bool m_eof = false;
    Status m_error;
};

class TextLineWriter {
public:
    virtual ~TextLineWriter() = default;
    virtual Status WriteLine(const std::string& line) = 0;  // line + CR LF
    // Flushes to disk and closes. A writer dropped without Commit is closed as it is.
    virtual Status Commit() = 0;
};

// An exclusive lock on a file, held until it goes.
class FileLock {
public:
    virtual ~FileLock() = default;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Fails if path is not an existing folder. Names come in the order the platform's
    // own file manager would list them.
    virtual Status GetFolder(const std::string& path, FolderListing* listing) = 0;
    virtual std::unique_ptr<TextLineReader> OpenForReading(const std::string& path, Status* error) = 0;
    // Creates or truncates path.
    virtual std::unique_ptr<TextLineWriter> CreateForWriting(const std::string& path, Status* error) = 0;
    // Copies the bytes of from into to (created or truncated) and flushes them to disk.
    virtual Status CopyFile(const std::string& from, const std::string& to) = 0;
    // Puts from in the place of to in one step: readers see the old or the new file.
    virtual Status ReplaceFile(const std::string& from, const std::string& to) = 0;
    virtual bool FileExists(const std::string& path) = 0;
    virtual bool FolderExists(const std::string& path) = 0;
    // Takes the exclusive lock of path (the file is created if missing) when no other
    // program holds it. Null with *error Ok: another holds it; null otherwise: failed.
    virtual std::unique_ptr<FileLock> TryLock(const std::string& path, Status* error) = 0;
};

}  // namespace brisko
