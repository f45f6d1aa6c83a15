// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include "platform/append_file.h"
#include "platform/win32/utf8_win32.h"
#include "platform/win32/win32_error.h"

namespace brisko {

namespace {

// Closes the handle on every path out.
class Handle {
public:
    explicit Handle(HANDLE h) : m_h(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (m_h != INVALID_HANDLE_VALUE) ::CloseHandle(m_h);
    }
    HANDLE get() const { return m_h; }

private:
    HANDLE m_h;
};

Status Failed(const std::string& what, const std::string& path, DWORD code = ::GetLastError()) {
    return Status::Fail(static_cast<long>(code), what + " " + path + ": " + Win32ErrorText(code));
}

}  // namespace

Status AppendBlock(const std::string& path, const std::string& block) {
    // Append-only access: every WriteFile lands whole at the end, whoever else appends.
    const Handle file(::CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA | FILE_READ_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return Failed("cannot open", path);
    // Only a file on disk keeps what is written to it; a pipe or a device would lose it.
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) return Failed("cannot open", path, ERROR_BAD_FILE_TYPE);
    std::string bytes;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file.get(), &size) && size.QuadPart > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(size.QuadPart - 1);
        at.OffsetHigh = static_cast<DWORD>((size.QuadPart - 1) >> 32);
        char last = '\n';
        DWORD got = 0;
        if (::ReadFile(file.get(), &last, 1, &got, &at) && got == 1 && last != '\n') bytes = "\n";
    }
    bytes += block;
    DWORD written = 0;
    if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return Failed("cannot write to", path);
    if (written != bytes.size()) return Failed("cannot write all of a record to", path, ERROR_DISK_FULL);
    return Status::Ok();
}

Status ReadAppendedFile(const std::string& path, std::string* bytes, bool* missing) {
    bytes->clear();
    *missing = false;
    const Handle file(::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
            *missing = true;
            return Status::Ok();
        }
        return Failed("cannot open", path, code);
    }
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) return Failed("cannot open", path, ERROR_BAD_FILE_TYPE);
    char buffer[1 << 16];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return Failed("cannot read", path);
        if (got == 0) break;
        bytes->append(buffer, got);
    }
    return Status::Ok();
}

}  // namespace brisko
