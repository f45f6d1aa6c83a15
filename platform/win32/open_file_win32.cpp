// SPDX-License-Identifier: GPL-3.0-or-later
#include <stdlib.h>

#include <cerrno>

#include "platform/open_file.h"
#include "platform/win32/utf8_win32.h"
#include "platform/win32/win32_error.h"

namespace brisko {

std::FILE* OpenFile(const std::string& path, const char* mode, Status* error) {
    errno = 0;
    _doserrno = 0;
    std::FILE* file = ::_wfopen(Wide(path).c_str(), Wide(mode).c_str());
    if (file) {
        *error = Status::Ok();
    } else {
        // The system's own words where it gave a reason; the C library's otherwise.
        const unsigned long code = _doserrno;
        *error = code != 0 ? Win32Failure(code) : Status::FromErrno(errno);
        // Said within a sentence of ours, which ends it.
        while (!error->text.empty() && error->text.back() == '.') error->text.pop_back();
    }
    return file;
}

}  // namespace brisko
