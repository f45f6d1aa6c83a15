// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The embedded browser engines of the web test windows: the control surface of the
// Internet Explorer WebBrowser control and of the Mozilla ActiveX control.
// Back ends: BrowserEnginesQt (qt/, Qt WebEngine, one profile per engine kind),
// later win32 (the ActiveX controls). Tests script FakeIeEngine / FakeMozillaEngine.
// DesktopServices (platform/services.h) owns the engines; each test window owns the engine it made.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/error.h"

namespace brisko {

inline constexpr int kReadyStateUninitialized = 0;
inline constexpr int kReadyStateLoading = 1;
inline constexpr int kReadyStateInteractive = 3;
inline constexpr int kReadyStateComplete = 4;

// Navigation flags of the WebBrowser control.
inline constexpr int kNavNoHistory = 2;
inline constexpr int kNavNoReadFromCache = 4;
inline constexpr int kNavNoWriteToCache = 8;

// Refresh2 levels: 0 normal, 1 if expired, 3 completely (bypassing every cache).
inline constexpr std::int16_t kRefreshCompletely = 3;

// Engine events. The engines call them on the UI thread, between other window events.
struct BrowserEngineEvents {
    std::function<void(const std::string& text)> statusTextChange;
    std::function<void()> downloadComplete;                          // WebBrowser
    std::function<void(const std::string& address)> navigateComplete2;  // Mozilla control
};

class BrowserEngine {
public:
    virtual ~BrowserEngine() = default;
    virtual int ReadyState() const = 0;  // kReadyStateComplete once the page and its parts loaded
    virtual bool Busy() const = 0;       // true while a download is in progress
    // How the last load ended once complete: Ok when its page arrived, else why not (a
    // name that does not resolve, no connection, an HTTP error status), naming the address.
    virtual Status LoadError() const = 0;
    void SetEvents(BrowserEngineEvents events) { m_events = std::move(events); }

protected:
    void FireStatusTextChange(const std::string& text);
    void FireDownloadComplete();
    void FireNavigateComplete2(const std::string& address);

private:
    BrowserEngineEvents m_events;
};

// The WebBrowser control. "about:" followed by HTML shows that HTML as the page.
class IeBrowserEngine : public BrowserEngine {
public:
    // Starts loading and returns at once; flags are the kNav... values above.
    virtual Status Navigate(const std::string& address, int flags = 0) = 0;
    virtual Status Refresh() = 0;
    // While a page loads the engine reports "(N items remaining)" status texts, N being
    // the page parts requested but not yet finished.
};

// The Mozilla control. While data of a page part arrives it reports status texts
// containing "Transferring"; NavigateComplete2 fires when a navigation has committed.
class MozillaBrowserEngine : public BrowserEngine {
public:
    // flags: the WebBrowser's kNav... values, which the control takes too.
    virtual Status Navigate(const std::string& address, int flags = 0) = 0;
    virtual Status Refresh2(std::int16_t level) = 0;
};

// A page that could not be loaded: the reason, then the address it was loaded from.
Status PageLoadFailure(const Status& reason, const std::string& address);
// An HTTP error status (404, 500, ...) answered for address; its number is the status.
Status HttpStatusFailure(int status, const std::string& address);

class BrowserEngines {
public:
    virtual ~BrowserEngines() = default;
    // On failure these return null and fill error.
    virtual std::unique_ptr<IeBrowserEngine> CreateIeEngine(Status* error) = 0;
    // profileFolder: a native folder that holds the control's profile (made if missing).
    virtual std::unique_ptr<MozillaBrowserEngine> CreateMozillaEngine(const std::string& profileFolder,
                                                                      Status* error) = 0;
};

}  // namespace brisko
