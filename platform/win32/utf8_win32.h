// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program keeps every text in UTF-8; Windows takes and gives UTF-16 at its W
// functions. These two convert at that boundary and nowhere else.
#include <string>

namespace brisko {

// Bytes that are not UTF-8 become U+FFFD, as the system's own conversion makes them.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const wchar_t* text, std::size_t length);
std::string Utf8(const std::wstring& text);

}  // namespace brisko
