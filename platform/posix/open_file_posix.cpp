// SPDX-License-Identifier: GPL-3.0-or-later
#include <cerrno>

#include "platform/open_file.h"

namespace brisko {

std::FILE* OpenFile(const std::string& path, const char* mode, Status* error) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), mode);
    *error = file ? Status::Ok() : Status::FromErrno(errno);
    return file;
}

}  // namespace brisko
