// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

#include "platform/external_browser.h"

namespace brisko {

// Web addresses of the product and of its maker.
inline constexpr const char* kProductSiteAddress = "https://www.brisko.example/";
inline constexpr const char* kMakerSiteAddress = "https://www.norvane.example/";
// "Third Party Online Speed Tests": a well-known speed test of someone else's.
inline constexpr const char* kThirdPartySpeedTestAddress = "https://www.speedtest.net/";

// Opens address in a new, separate external browser window and lets it go.
// Throws AppError when no browser window can be created or navigated.
void OpenExternalPage(ExternalBrowser& browser, const std::string& address);

}  // namespace brisko
