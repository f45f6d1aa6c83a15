// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// WinHttpRequest used synchronously: Open("GET", address, false), Send, ResponseText.
// Back ends: SyncHttpQt (qt/: QNetworkAccessManager; user input is held back while it
// waits, windows keep painting), later win32 (WinHTTP).
// DesktopServices (platform/services.h) owns it; the Mozilla web test borrows it.
#include <string>

#include "platform/error.h"

namespace brisko {

// WinHTTP's default time-outs.
struct HttpTimeouts {
    int connectMs = 60000;
    int sendMs = 30000;
    int receiveMs = 30000;
};

// Failures carry WinHTTP's error numbers as the automation object reports them
// (0x80070000 + code, as a signed 32-bit number) and the system's description.
inline constexpr long kWinHttpTimeout = 12002;
inline constexpr long kWinHttpInvalidUrl = 12005;
inline constexpr long kWinHttpUnrecognizedScheme = 12006;
inline constexpr long kWinHttpNameNotResolved = 12007;
inline constexpr long kWinHttpCannotConnect = 12029;
inline constexpr long kWinHttpConnectionError = 12030;
inline constexpr long kWinHttpInvalidServerResponse = 12152;
inline constexpr long kWinHttpSecureFailure = 12175;
long WinHttpErrorNumber(long winHttpCode);
std::string WinHttpErrorText(long winHttpCode);
Status WinHttpFailure(long winHttpCode);

class SyncHttpClient {
public:
    virtual ~SyncHttpClient() = default;
    // Fetches address with GET and returns once the whole response has arrived. Any
    // response counts, whatever its status code; only a transport failure fails.
    virtual Status Get(const std::string& address, std::string* responseText) = 0;
};

}  // namespace brisko
