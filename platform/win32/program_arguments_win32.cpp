// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>
#include <shellapi.h>

#include <iostream>
#include <memory>
#include <streambuf>

#include "platform/program_arguments.h"
#include "platform/win32/utf8_win32.h"

namespace brisko {

namespace {

// Writes UTF-8 to a console as UTF-16, so that every character shows whatever the
// console's code page; a character cut between two writes waits for its rest.
class ConsoleBuffer final : public std::streambuf {
public:
    explicit ConsoleBuffer(HANDLE console) : m_console(console) { setp(m_buffer, m_buffer + sizeof m_buffer); }
    ~ConsoleBuffer() override { sync(); }

protected:
    int_type overflow(int_type c) override {
        Flush(false);
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override {
        Flush(true);
        return 0;
    }

private:
    void Flush(bool all) {
        std::size_t size = static_cast<std::size_t>(pptr() - pbase());
        std::size_t whole = size;
        if (!all) {
            // Back to the start of the last character, unless it is complete.
            std::size_t start = size;
            while (start > 0 && (static_cast<unsigned char>(m_buffer[start - 1]) & 0xC0) == 0x80) --start;
            if (start > 0) {
                const unsigned char lead = static_cast<unsigned char>(m_buffer[start - 1]);
                const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
                if (size - (start - 1) < length) whole = start - 1;
            }
        }
        const std::wstring text = Wide(std::string(m_buffer, whole));
        DWORD written = 0;
        if (!text.empty()) ::WriteConsoleW(m_console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        const std::size_t rest = size - whole;
        std::char_traits<char>::move(m_buffer, m_buffer + whole, rest);
        setp(m_buffer, m_buffer + sizeof m_buffer);
        pbump(static_cast<int>(rest));
    }

    HANDLE m_console;
    char m_buffer[4096];
};

void UseConsoleBuffer(DWORD which, std::ostream& stream) {
    HANDLE handle = ::GetStdHandle(which);
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr || !::GetConsoleMode(handle, &mode)) return;
    stream.flush();
    // Never freed: the streams are flushed after every static object is gone.
    stream.rdbuf(new ConsoleBuffer(handle));
}

struct LocalFreeDeleter {
    void operator()(wchar_t** p) const { ::LocalFree(p); }
};

}  // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    std::unique_ptr<wchar_t*, LocalFreeDeleter> wide(::CommandLineToArgvW(::GetCommandLineW(), &count));
    if (!wide) return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(Utf8(std::wstring(wide.get()[i])));
    return arguments;
}

void PrepareStandardStreams() {
    UseConsoleBuffer(STD_OUTPUT_HANDLE, std::cout);
    UseConsoleBuffer(STD_ERROR_HANDLE, std::cerr);
}

}  // namespace brisko
