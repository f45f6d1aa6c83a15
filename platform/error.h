// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Failures at the platform boundary travel as values (Status); an operation that
// raises an error for its caller throws AppError, the one typed error.
#include <stdexcept>
#include <string>

namespace brisko {

struct Status {
    long code = 0;     // 0 means success; otherwise errno or the system's last error
    std::string text;  // the system's text for the failure

    bool ok() const { return code == 0; }
    static Status Ok() { return {}; }
    static Status Fail(long code, std::string text) { return {code, std::move(text)}; }
    static Status FromErrno(int err);
};

// An error with a Windows-style number, source and description.
class AppError : public std::runtime_error {
public:
    AppError(long number, std::string source, std::string description);
    long Number() const { return m_number; }
    const std::string& Source() const { return m_source; }
    const std::string& Description() const { return m_description; }

private:
    long m_number;
    std::string m_source;
    std::string m_description;
};

}  // namespace brisko
