// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Win32 error codes as Status values, with the system's own text.
#include <cstdint>
#include <string>

#include "platform/error.h"

namespace brisko {

// The system's text for a Win32 or Winsock error code, its line end dropped;
// "Error N" when the system has none.
std::string Win32ErrorText(std::uint32_t code);

Status Win32Failure(std::uint32_t code);

// The calling thread's last error, taken at once.
Status LastWin32Failure();

}  // namespace brisko
