// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/error.h"

#include <cstring>

namespace brisko {

Status Status::FromErrno(int err) { return {err == 0 ? -1 : err, std::strerror(err)}; }

AppError::AppError(long number, std::string source, std::string description)
    : std::runtime_error(description),
      m_number(number),
      m_source(std::move(source)),
      m_description(std::move(description)) {}

}  // namespace brisko
