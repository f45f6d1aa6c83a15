#pragma once
// Whole-file reads and safe replacement: the new content goes to a temporary file in
// the same folder, is flushed to disk and renamed over the target, so readers see
// the whole old file or the whole new one and a failed write leaves the old intact.
#include <string>
#include <string_view>

#include "platform/error.h"

namespace brisko {

// *exists is false (and Ok returned) when the file is not there.
Status ReadWholeFile(const std::string& path, std::string* bytes, bool* exists = nullptr);

// Reads an open file from where it stands to its end.
Status ReadOpenFile(int fd, std::string* bytes);

Status ReplaceFileContents(const std::string& path, std::string_view bytes);

// Creates the folder and its missing parents.
Status MakeFolders(const std::string& path);

}  // namespace brisko
