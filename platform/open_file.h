// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Files by their UTF-8 names, for code that reads and writes them with the C library
// or std::filesystem: Windows would take a plain char name in the ANSI code page.
// Back ends: posix/open_file_posix.cpp (fopen), win32/open_file_win32.cpp (_wfopen).
// Free functions: whoever opens such a file calls them and owns what they return.
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/error.h"

namespace brisko {

// fopen by a UTF-8 name; nullptr with the system's reason in *error on failure.
std::FILE* OpenFile(const std::string& path, const char* mode, Status* error);

// A UTF-8 name as std::filesystem takes it, and back.
std::filesystem::path PathFromUtf8(const std::string& path);
std::string Utf8FromPath(const std::filesystem::path& path);

}  // namespace brisko
