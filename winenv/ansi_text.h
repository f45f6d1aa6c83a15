// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "ANSI code page" of the emulated Windows is UTF-8. Registry strings are kept
// as UTF-16LE, as Windows keeps them, and converted at the ANSI boundary.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brisko {

// Bytes in the ANSI code page -> UTF-16. Bytes that are not valid UTF-8 are taken
// as Latin-1, so text written by an 8-bit Windows code page keeps its letters.
std::u16string AnsiToUtf16(std::string_view ansi);

// UTF-16 -> ANSI (UTF-8). An unpaired surrogate becomes U+FFFD.
std::string Utf16ToAnsi(std::u16string_view text);

// ANSI -> UTF-16LE bytes appended to out, without a UTF-16 string in between.
void AppendUtf16Bytes(std::string& out, std::string_view ansi);

// Lenient ANSI text -> valid UTF-8 (the same rule as AnsiToUtf16).
std::string AnsiToUtf8(std::string_view ansi);

// True when text is valid UTF-16 (every surrogate paired).
bool IsWellFormedUtf16(std::u16string_view text);

// UTF-16 code units <-> little-endian bytes. An odd final byte is dropped.
std::vector<std::uint8_t> Utf16ToBytes(std::u16string_view text);
std::u16string BytesToUtf16(const std::uint8_t* data, std::size_t size);

}  // namespace brisko
