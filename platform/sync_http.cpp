// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sync_http.h"

#include <cstdint>

namespace brisko {

long WinHttpErrorNumber(long winHttpCode) {
    return static_cast<long>(static_cast<std::int32_t>(0x80070000u + static_cast<std::uint32_t>(winHttpCode)));
}

std::string WinHttpErrorText(long winHttpCode) {
    switch (winHttpCode) {
        case kWinHttpTimeout: return "The operation timed out";
        case kWinHttpInvalidUrl: return "The URL is invalid";
        case kWinHttpUnrecognizedScheme: return "The URL does not use a recognized protocol";
        case kWinHttpNameNotResolved: return "The server name or address could not be resolved";
        case kWinHttpCannotConnect: return "A connection with the server could not be established";
        case kWinHttpConnectionError: return "The connection with the server was terminated abnormally";
        case kWinHttpInvalidServerResponse: return "The server returned an invalid or unrecognized response";
        case kWinHttpSecureFailure: return "A security error occurred";
        default: return "The request failed";
    }
}

Status WinHttpFailure(long winHttpCode) {
    return Status::Fail(WinHttpErrorNumber(winHttpCode), WinHttpErrorText(winHttpCode));
}

}  // namespace brisko
