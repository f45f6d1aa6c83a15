// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/file_system_win32.h"

#include <windows.h>
// windows.h turns these into macros for its own CopyFileA and ReplaceFileA.
#undef CopyFile
#undef ReplaceFile

#include <algorithm>

#include "platform/win32/utf8_win32.h"
#include "platform/win32/win32_error.h"

namespace brisko {

namespace {

constexpr DWORD kChunk = 64 * 1024;

// Owns one file handle; closes it on every path out.
class Handle {
public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : m_h(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Close(); }
    HANDLE get() const { return m_h; }
    bool valid() const { return m_h != INVALID_HANDLE_VALUE; }
    HANDLE Release() {
        HANDLE h = m_h;
        m_h = INVALID_HANDLE_VALUE;
        return h;
    }
    void Reset(HANDLE h) {
        Close();
        m_h = h;
    }
    Status Close() {
        HANDLE h = m_h;
        m_h = INVALID_HANDLE_VALUE;
        if (h != INVALID_HANDLE_VALUE && !::CloseHandle(h)) return LastWin32Failure();
        return Status::Ok();
    }

private:
    HANDLE m_h;
};

std::string WithoutTrailingSeparator(std::string path) {
    // "C:\" stays as it is: without its backslash it would mean the current folder of C:.
    while (path.size() > 1 && (path.back() == '\\' || path.back() == '/') &&
           !(path.size() == 3 && path[1] == ':'))
        path.pop_back();
    return path;
}

Status OpenForReadingHandle(const std::string& path, Handle* handle) {
    // Others may read and even replace the file meanwhile, as they may on Linux.
    HANDLE h = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastWin32Failure();
    handle->Reset(h);
    return Status::Ok();
}

Status OpenForWritingHandle(const std::string& path, Handle* handle) {
    HANDLE h = ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastWin32Failure();
    handle->Reset(h);
    return Status::Ok();
}

Status WriteAll(HANDLE h, const char* data, std::size_t size) {
    while (size > 0) {
        DWORD written = 0;
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(size, kChunk));
        if (!::WriteFile(h, data, part, &written, nullptr)) return LastWin32Failure();
        data += written;
        size -= written;
    }
    return Status::Ok();
}

class Win32LineReader final : public ChunkedLineReader {
public:
    explicit Win32LineReader(HANDLE h) : m_handle(h) {}

protected:
    Status ReadChunk(char* buffer, std::size_t size, std::size_t* read) override {
        DWORD n = 0;
        if (!::ReadFile(m_handle.get(), buffer, static_cast<DWORD>(size), &n, nullptr)) return LastWin32Failure();
        *read = n;
        return Status::Ok();
    }

private:
    Handle m_handle;
};

class Win32LineWriter final : public TextLineWriter {
public:
    explicit Win32LineWriter(HANDLE h) : m_handle(h) {}

    Status WriteLine(const std::string& line) override {
        if (!m_handle.valid()) return Win32Failure(ERROR_INVALID_HANDLE);
        m_pending += line;
        m_pending += "\r\n";
        return m_pending.size() >= kChunk ? Flush() : Status::Ok();
    }

    Status Commit() override {
        if (!m_handle.valid()) return Win32Failure(ERROR_INVALID_HANDLE);
        Status s = Flush();
        if (s.ok() && !::FlushFileBuffers(m_handle.get())) s = LastWin32Failure();
        Status closed = m_handle.Close();
        return s.ok() ? closed : s;
    }

private:
    Status Flush() {
        Status s = WriteAll(m_handle.get(), m_pending.data(), m_pending.size());
        m_pending.clear();
        return s;
    }

    Handle m_handle;
    std::string m_pending;
};

}  // namespace

Status FileSystemWin32::GetFolder(const std::string& path, FolderListing* listing) {
    const std::string folder = WithoutTrailingSeparator(path);
    const DWORD attributes = ::GetFileAttributesW(Wide(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastWin32Failure();
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return Win32Failure(ERROR_DIRECTORY);
    const std::string prefix = folder.back() == '\\' ? folder : folder + "\\";

    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(Wide(prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return LastWin32Failure();
    std::vector<std::string> files, folders;
    do {
        const std::string name = Utf8(std::wstring(found.cFileName));
        if (name == "." || name == "..") continue;
        const bool plainFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                                 !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
        (plainFolder ? folders : files).push_back(name);
    } while (::FindNextFileW(search, &found));
    const DWORD stop = ::GetLastError();
    ::FindClose(search);
    if (stop != ERROR_NO_MORE_FILES) return Win32Failure(stop);

    auto byName = [](const std::string& a, const std::string& b) {
        const int c = ::lstrcmpiW(Wide(a).c_str(), Wide(b).c_str());
        return c != 0 ? c < 0 : a < b;
    };
    std::sort(files.begin(), files.end(), byName);
    std::sort(folders.begin(), folders.end(), byName);
    listing->path = folder;
    listing->fileNames = std::move(files);
    listing->subFolderPaths.clear();
    for (const auto& name : folders) listing->subFolderPaths.push_back(prefix + name);
    return Status::Ok();
}

std::unique_ptr<TextLineReader> FileSystemWin32::OpenForReading(const std::string& path, Status* error) {
    Handle h;
    *error = OpenForReadingHandle(path, &h);
    if (!error->ok()) return nullptr;
    return std::make_unique<Win32LineReader>(h.Release());
}

std::unique_ptr<TextLineWriter> FileSystemWin32::CreateForWriting(const std::string& path, Status* error) {
    Handle h;
    *error = OpenForWritingHandle(path, &h);
    if (!error->ok()) return nullptr;
    return std::make_unique<Win32LineWriter>(h.Release());
}

Status FileSystemWin32::CopyFile(const std::string& from, const std::string& to) {
    // Copied by hand rather than with CopyFileA, which would carry a read-only
    // attribute of the stock file over to the profile's prefs.js.
    Handle in;
    if (Status s = OpenForReadingHandle(from, &in); !s.ok()) return s;
    Handle out;
    if (Status s = OpenForWritingHandle(to, &out); !s.ok()) return s;
    std::string buffer(kChunk, '\0');
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(in.get(), buffer.data(), kChunk, &n, nullptr)) return LastWin32Failure();
        if (n == 0) break;
        if (Status s = WriteAll(out.get(), buffer.data(), n); !s.ok()) return s;
    }
    if (!::FlushFileBuffers(out.get())) return LastWin32Failure();
    return out.Close();
}

Status FileSystemWin32::ReplaceFile(const std::string& from, const std::string& to) {
    if (!::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return LastWin32Failure();
    return Status::Ok();
}

bool FileSystemWin32::FileExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileSystemWin32::FolderExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(Wide(WithoutTrailingSeparator(path)).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

class Win32FileLock final : public FileLock {
public:
    explicit Win32FileLock(HANDLE h) : m_handle(h) {}  // closing the handle lets go

private:
    Handle m_handle;
};

}  // namespace

std::unique_ptr<FileLock> FileSystemWin32::TryLock(const std::string& path, Status* error) {
    *error = Status::Ok();
    Handle h(::CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) {
        *error = LastWin32Failure();
        return nullptr;
    }
    OVERLAPPED at{};
    if (!::LockFileEx(h.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const DWORD code = ::GetLastError();
        if (code != ERROR_LOCK_VIOLATION && code != ERROR_IO_PENDING) *error = Win32Failure(code);
        return nullptr;
    }
    return std::make_unique<Win32FileLock>(h.Release());
}

}  // namespace brisko
