// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/browser_engine.h"

namespace brisko {

void BrowserEngine::FireStatusTextChange(const std::string& text) {
    if (m_events.statusTextChange) m_events.statusTextChange(text);
}

void BrowserEngine::FireDownloadComplete() {
    if (m_events.downloadComplete) m_events.downloadComplete();
}

void BrowserEngine::FireNavigateComplete2(const std::string& address) {
    if (m_events.navigateComplete2) m_events.navigateComplete2(address);
}

Status PageLoadFailure(const Status& reason, const std::string& address) {
    return Status::Fail(reason.code, reason.text + ": " + address);
}

Status HttpStatusFailure(int status, const std::string& address) {
    return PageLoadFailure(Status::Fail(status, "The server answered with HTTP status " + std::to_string(status)),
                           address);
}

}  // namespace brisko
