// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/browser_engine_qt.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>
#include <algorithm>
#include <functional>

#include "platform/sync_http.h"

namespace brisko {

void PrepareBrowserEngineProcess() {
    if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

namespace {

// How the page tells the engine what it has: the page's own scripts cannot see this world.
const char kTag[] = "\x01" "brisko:";

// Runs in every main-frame document before the page's own content: reports the document's
// arrival, the end of parsing (every part in the HTML has been requested by then) and each
// finished part, through Resource Timing, which records a part once its data are complete.
const char kWatchScript[] = R"JS(
(function () {
  var tag = '\u0001brisko:';
  console.log(tag + 'doc ' + location.href);
  document.addEventListener('DOMContentLoaded', function () { console.log(tag + 'parsed'); });
  try {
    new PerformanceObserver(function (list) {
      list.getEntries().forEach(function (e) { console.log(tag + 'part ' + e.name); });
    }).observe({type: 'resource', buffered: true});
  } catch (e) {}
})();
)JS";

// A failed load in the words and numbers of the WinHTTP errors the windows already know
// (from Chromium's network error codes), or the HTTP status a server answered.
Status LoadFailure(const QWebEngineLoadingInfo& info) {
    const std::string address = info.url().toString().toStdString();
    if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
        return HttpStatusFailure(info.errorCode(), address);
    if (info.errorDomain() == QWebEngineLoadingInfo::CertificateErrorDomain)
        return PageLoadFailure(WinHttpFailure(kWinHttpSecureFailure), address);
    long code = 0;
    switch (info.errorCode()) {
        case -105:  // ERR_NAME_NOT_RESOLVED
        case -137:  // ERR_NAME_RESOLUTION_FAILED
            code = kWinHttpNameNotResolved;
            break;
        case -102:  // ERR_CONNECTION_REFUSED
        case -104:  // ERR_CONNECTION_FAILED
        case -106:  // ERR_INTERNET_DISCONNECTED
        case -108:  // ERR_ADDRESS_INVALID
        case -109:  // ERR_ADDRESS_UNREACHABLE
            code = kWinHttpCannotConnect;
            break;
        case -7:    // ERR_TIMED_OUT
        case -118:  // ERR_CONNECTION_TIMED_OUT
            code = kWinHttpTimeout;
            break;
        case -100:  // ERR_CONNECTION_CLOSED
        case -101:  // ERR_CONNECTION_RESET
        case -103:  // ERR_CONNECTION_ABORTED
        case -324:  // ERR_EMPTY_RESPONSE
            code = kWinHttpConnectionError;
            break;
        case -107:  // ERR_SSL_PROTOCOL_ERROR
        case -113:  // ERR_SSL_VERSION_OR_CIPHER_MISMATCH
            code = kWinHttpSecureFailure;
            break;
        case -300:  // ERR_INVALID_URL
            code = kWinHttpInvalidUrl;
            break;
        case -301:  // ERR_DISALLOWED_URL_SCHEME
        case -302:  // ERR_UNKNOWN_URL_SCHEME
            code = kWinHttpUnrecognizedScheme;
            break;
        case -320:  // ERR_INVALID_RESPONSE
            code = kWinHttpInvalidServerResponse;
            break;
        default: {
            // Anything else keeps Chromium's own name for it, such as net::ERR_UNSAFE_PORT.
            const Status other = WinHttpFailure(kWinHttpConnectionError);
            return PageLoadFailure(
                Status::Fail(other.code, "The page could not be loaded (" + info.errorString().toStdString() + ")"),
                address);
        }
    }
    return PageLoadFailure(WinHttpFailure(code), address);
}

Status BadAddress(const std::string& address) {
    return Status::Fail(-2147221020, "Invalid syntax: the address \"" + address + "\" cannot be opened");
}

// Sees every request a page makes: counts the parts, and for a load that must not be
// served from the cache asks for a fresh copy of each.
class PartCounter final : public QWebEngineUrlRequestInterceptor {
public:
    std::function<void(bool mainFrame, const QUrl& url)> onRequest;
    bool bypassCache = false;

    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        if (info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeFavicon) return;
        if (bypassCache) {
            info.setHttpHeader("Cache-Control", "no-cache");
            info.setHttpHeader("Pragma", "no-cache");
        }
        const bool mainFrame = info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame;
        const QUrl url = info.requestUrl();
        // Counted from the event loop, never from inside the engine's own call.
        QMetaObject::invokeMethod(this, [this, mainFrame, url] {
            if (onRequest) onRequest(mainFrame, url);
        }, Qt::QueuedConnection);
    }
};

class WatchedPage final : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;
    std::function<void(const QString& kind, const QString& arg)> onReport;
    QPointer<PartCounter> counter;  // its interceptor, a child of the page

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                  const QString& source) override {
        if (!message.startsWith(QLatin1String(kTag))) {
            QWebEnginePage::javaScriptConsoleMessage(level, message, line, source);
            return;
        }
        const QString body = message.mid(int(sizeof kTag) - 1);
        const qsizetype space = body.indexOf(' ');
        if (onReport) onReport(body.left(space), space < 0 ? QString() : body.mid(space + 1));
    }
};

// The state both engine controls share: ready state, busy, and the part counts of the
// current document. Subclasses turn changes into their control's status texts.
class EngineCore : public QtEngineView {
public:
    // spare: views of this profile that earlier engines left; one is taken if there is one.
    EngineCore(QWebEngineProfile* profile, std::vector<QPointer<QWebEngineView>>& spare,
               std::vector<QPointer<QWidget>>& views)
        : m_profile(profile), m_spare(spare) {
        while (!m_view && !spare.empty()) {
            m_view = spare.back();
            spare.pop_back();
        }
        if (m_view) {
            m_page = dynamic_cast<WatchedPage*>(m_view->page());
            m_counter = m_page ? m_page->counter : nullptr;
        } else {
            m_view = new QWebEngineView();
            views.push_back(m_view.data());
            m_page = new WatchedPage(profile, m_view);
            m_counter = new PartCounter();
            m_counter->setParent(m_page);
            m_page->counter = m_counter;
            m_page->setUrlRequestInterceptor(m_counter);
            m_view->setPage(m_page);
        }
        m_counter->onRequest = [this](bool mainFrame, const QUrl& url) { OnRequest(mainFrame, url); };
        m_page->onReport = [this](const QString& kind, const QString& arg) { OnReport(kind, arg); };
        m_loading = QObject::connect(m_page, &QWebEnginePage::loadingChanged, m_page,
                                     [this](const QWebEngineLoadingInfo& info) { OnLoadingChanged(info); });
    }
    // The view and its page live on for the next engine of this kind: on Qt 6.4 a page
    // that goes while its renderer still runs can leave the next page's first load to the
    // same site stalled for good.
    ~EngineCore() override {
        if (!m_view || !m_page || !m_counter) {
            delete m_view.data();
            return;
        }
        QObject::disconnect(m_loading);
        m_page->onReport = nullptr;
        m_counter->onRequest = nullptr;
        m_counter->bypassCache = false;
        m_page->triggerAction(QWebEnginePage::Stop);
        m_view->hide();
        m_view->setParent(nullptr);
        m_spare.push_back(m_view);
    }

    QWidget* Widget() const override { return m_view; }
    QWebEnginePage* Page() const override { return m_page; }

protected:
    int State() const { return m_readyState; }
    bool IsBusy() const { return m_busy; }
    Status Failure() const { return m_loadError; }

    // A load is requested: busy from now on, even before the engine reports its start.
    void Begin() {
        m_loadError = Status::Ok();
        m_busy = true;
        m_awaitingStart = true;
        m_readyState = kReadyStateLoading;
    }

    // Every request of the loads from now on asks the network for a fresh copy.
    void SetBypassCache(bool bypass) {
        if (m_counter) m_counter->bypassCache = bypass;
    }

    // bypassCache: the parts must not come from any cache.
    Status Load(const std::string& address, bool bypassCache = false) {
        if (!m_page) return Status::Fail(-2147467259, "The browser engine is gone");
        const std::string lower = QString::fromStdString(address).toLower().toStdString();
        if (lower.rfind("about:", 0) == 0 && lower != "about:blank") {
            Begin();
            m_page->setHtml(QString::fromStdString(address.substr(6)));
            return Status::Ok();
        }
        const QUrl url = QUrl::fromUserInput(QString::fromStdString(address));
        const QString scheme = url.scheme().toLower();
        if (!url.isValid() ||
            !(scheme == "http" || scheme == "https" || scheme == "file" || scheme == "about" || scheme == "data"))
            return BadAddress(address);
        Begin();
        if (bypassCache && url.adjusted(QUrl::RemoveFragment) == m_page->url().adjusted(QUrl::RemoveFragment)) {
            // The renderer's memory cache would serve the parts of the page it shows; only
            // a reload that bypasses the caches fetches them all again.
            m_page->triggerAction(QWebEnginePage::ReloadAndBypassCache);
        } else {
            // Emptying the cache first would be surer, but on Qt 6.4 a load started while the
            // cache is being emptied can stall for good.
            m_page->load(url);
        }
        return Status::Ok();
    }

    Status Reload(bool bypassCache) {
        if (!m_page) return Status::Fail(-2147467259, "The browser engine is gone");
        Begin();
        m_page->triggerAction(bypassCache ? QWebEnginePage::ReloadAndBypassCache : QWebEnginePage::Reload);
        return Status::Ok();
    }

    int Remaining() const { return std::max(0, m_requested - m_finished); }
    bool Parsed() const { return m_parsed; }
    std::string Host() const { return m_host; }

    enum class Change { Requested, Finished, Parsed };
    virtual void PartsChanged(Change change, const QUrl& url) = 0;
    virtual void Committed(const QUrl& url) = 0;        // the document has arrived
    virtual void Finished() = 0;                         // the load and every part are done

private:
    void OnRequest(bool mainFrame, const QUrl& url) {
        if (mainFrame) {
            m_requested = 1;
            m_finished = 0;
            m_parsed = false;
            m_host = url.host().toStdString();
        } else {
            ++m_requested;
        }
        PartsChanged(Change::Requested, url);
    }

    void OnReport(const QString& kind, const QString& arg) {
        if (kind == "doc") {
            ++m_finished;
            if (m_busy) m_readyState = kReadyStateInteractive;
            Committed(QUrl(arg));
            PartsChanged(Change::Finished, QUrl(arg));
        } else if (kind == "parsed") {
            m_parsed = true;
            PartsChanged(Change::Parsed, QUrl());
        } else if (kind == "part") {
            ++m_finished;
            PartsChanged(Change::Finished, QUrl(arg));
        }
    }

    void OnLoadingChanged(const QWebEngineLoadingInfo& info) {
        if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
            ++m_inFlight;
            m_awaitingStart = false;
            m_busy = true;
            if (m_readyState == kReadyStateComplete) m_readyState = kReadyStateLoading;
            return;
        }
        m_inFlight = std::max(0, m_inFlight - 1);
        if (m_awaitingStart || m_inFlight > 0) return;  // an older load ended; ours is still to come
        m_loadError = info.status() == QWebEngineLoadingInfo::LoadFailedStatus ? LoadFailure(info) : Status::Ok();
        m_busy = false;
        m_readyState = kReadyStateComplete;
        Finished();
    }

    QPointer<QWebEngineProfile> m_profile;
    std::vector<QPointer<QWebEngineView>>& m_spare;
    QPointer<QWebEngineView> m_view;
    QPointer<WatchedPage> m_page;
    QPointer<PartCounter> m_counter;
    QMetaObject::Connection m_loading;
    int m_readyState = kReadyStateUninitialized;
    bool m_busy = false;
    Status m_loadError;
    bool m_awaitingStart = false;
    int m_inFlight = 0;
    int m_requested = 0;
    int m_finished = 0;
    bool m_parsed = false;
    std::string m_host;
};

class IeEngineQt final : public IeBrowserEngine, public EngineCore {
public:
    using EngineCore::EngineCore;

    Status Navigate(const std::string& address, int flags) override {
        const bool uncached = (flags & kNavNoReadFromCache) != 0;
        SetBypassCache(uncached);
        m_noHistory = (flags & kNavNoHistory) != 0;
        return Load(address, uncached);
    }
    Status Refresh() override {
        SetBypassCache(true);
        return Reload(true);
    }
    int ReadyState() const override { return State(); }
    bool Busy() const override { return IsBusy(); }
    Status LoadError() const override { return Failure(); }

private:
    void PartsChanged(Change, const QUrl& url) override {
        if (!IsBusy() || !Parsed()) return;  // the first count is meaningful once the HTML is read
        const int remaining = Remaining();
        if (remaining == m_lastReported || remaining == 0) return;
        m_lastReported = remaining;
        FireStatusTextChange("(" + std::to_string(remaining) + " items remaining) Downloading " +
                             (url.isEmpty() ? std::string("page parts") : url.toString().toStdString()) + "...");
    }
    void Committed(const QUrl&) override { m_lastReported = -1; }
    void Finished() override {
        if (m_noHistory && Page()) Page()->history()->clear();
        m_noHistory = false;
        m_lastReported = -1;
        FireStatusTextChange("Done");
        FireDownloadComplete();
    }

    bool m_noHistory = false;
    int m_lastReported = -1;
};

class MozillaEngineQt final : public MozillaBrowserEngine, public EngineCore {
public:
    using EngineCore::EngineCore;

    Status Navigate(const std::string& address, int flags) override {
        const bool uncached = (flags & kNavNoReadFromCache) != 0;
        SetBypassCache(uncached);
        return Load(address, uncached);
    }
    Status Refresh2(std::int16_t level) override {
        SetBypassCache(level == kRefreshCompletely);
        return Reload(level == kRefreshCompletely);
    }
    int ReadyState() const override { return State(); }
    bool Busy() const override { return IsBusy(); }
    Status LoadError() const override { return Failure(); }

private:
    void PartsChanged(Change change, const QUrl&) override {
        if (change == Change::Finished)
            FireStatusTextChange("Transferring data from " + HostText() + "...");
        else if (change == Change::Requested)
            FireStatusTextChange("Waiting for " + HostText() + "...");
    }
    void Committed(const QUrl& url) override { FireNavigateComplete2(url.toString().toStdString()); }
    void Finished() override { FireStatusTextChange("Done"); }

    std::string HostText() const { return Host().empty() ? "the page" : Host(); }
};

void ConfigureProfile(QWebEngineProfile* profile, const QString& folder) {
    QDir().mkpath(folder);
    profile->setPersistentStoragePath(folder);
    profile->setCachePath(folder + "/Cache");
    QWebEngineScript script;
    script.setName("brisko-watch");
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(kWatchScript);
    profile->scripts()->insert(script);
    profile->settings()->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    profile->settings()->setAttribute(QWebEngineSettings::TouchIconsEnabled, false);
}

}  // namespace

BrowserEnginesQt::BrowserEnginesQt(std::string ieStorageFolder) : m_ieStorageFolder(std::move(ieStorageFolder)) {}

BrowserEnginesQt::~BrowserEnginesQt() {
    for (auto& view : m_views) delete view.data();
    delete m_ieProfile;
    for (auto& [folder, profile] : m_mozillaProfiles) delete profile;
}

QWebEngineProfile* BrowserEnginesQt::IeProfile() {
    if (!m_ieProfile) {
        m_ieProfile = new QWebEngineProfile("WebBrowser1");
        ConfigureProfile(m_ieProfile, QString::fromStdString(m_ieStorageFolder));
        // In memory only: nothing is kept on disk, and the uncached loads never read it.
        // (Not NoCache: on Qt 6.4 that now and then stalls a navigation for good.)
        m_ieProfile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    }
    return m_ieProfile;
}

QWebEngineProfile* BrowserEnginesQt::MozillaProfile(const std::string& folder) {
    QWebEngineProfile*& profile = m_mozillaProfiles[folder];
    if (!profile) {
        profile = new QWebEngineProfile("MozillaBrowser1-" + QString::number(m_mozillaProfiles.size()));
        ConfigureProfile(profile, QString::fromStdString(folder));
        // As the WebBrowser's: a cache kept on disk would answer the next run's first
        // load (with 304s at best), and the timed loads never read one.
        profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    }
    return profile;
}

std::unique_ptr<IeBrowserEngine> BrowserEnginesQt::CreateIeEngine(Status* error) {
    if (error) *error = Status::Ok();
    QWebEngineProfile* profile = IeProfile();
    return std::make_unique<IeEngineQt>(profile, m_spareViews[profile], m_views);
}

std::unique_ptr<MozillaBrowserEngine> BrowserEnginesQt::CreateMozillaEngine(const std::string& profileFolder,
                                                                           Status* error) {
    if (error) *error = Status::Ok();
    QWebEngineProfile* profile = MozillaProfile(profileFolder);
    return std::make_unique<MozillaEngineQt>(profile, m_spareViews[profile], m_views);
}

}  // namespace brisko
