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

}  // namespace brisko
