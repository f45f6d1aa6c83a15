// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Qt WebEngine stands in for both engine controls, each kind on its own persistent profile.
#include <QPointer>
#include <QSize>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/browser_engine.h"

class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;
class QWidget;

namespace brisko {

// Call before the QApplication is made. Chromium's sandbox cannot run as root (CI,
// containers): only then is it switched off.
void PrepareBrowserEngineProcess();

// The size of an engine's view as a test window first shows it. brisko-cli shows its
// views offscreen at this size too: a page is laid out, and its parts fetched, alike.
inline constexpr QSize kEngineViewSize(760, 440);

// What a Qt window needs from an engine made here: the view to place in its layout.
// A view may come from an engine made earlier, hidden: whoever places it shows it.
class QtEngineView {
public:
    virtual ~QtEngineView() = default;
    virtual QWidget* Widget() const = 0;
    virtual QWebEnginePage* Page() const = 0;
};

class BrowserEnginesQt final : public BrowserEngines {
public:
    // ieStorageFolder: where the WebBrowser stand-in keeps its profile.
    explicit BrowserEnginesQt(std::string ieStorageFolder);
    ~BrowserEnginesQt() override;  // pages that still exist go before their profiles

    std::unique_ptr<IeBrowserEngine> CreateIeEngine(Status* error) override;
    std::unique_ptr<MozillaBrowserEngine> CreateMozillaEngine(const std::string& profileFolder,
                                                              Status* error) override;

private:
    QWebEngineProfile* IeProfile();
    QWebEngineProfile* MozillaProfile(const std::string& folder);

    std::string m_ieStorageFolder;
    QWebEngineProfile* m_ieProfile = nullptr;
    std::map<std::string, QWebEngineProfile*> m_mozillaProfiles;
    std::vector<QPointer<QWidget>> m_views;  // every view made, to end them before the profiles
    std::map<QWebEngineProfile*, std::vector<QPointer<QWebEngineView>>> m_spareViews;
};

}  // namespace brisko
