// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/external_browser_qt.h"

#include <QDesktopServices>
#include <QUrl>

namespace brisko {

namespace {

class DesktopBrowserWindow final : public ExternalBrowserWindow {
public:
    // The page opens once the window is both visible and has an address, in
    // whichever order the caller sets them.
    Status Navigate(const std::string& address) override {
        m_address = address;
        return m_visible ? Open() : Status::Ok();
    }
    Status SetVisible(bool visible) override {
        m_visible = visible;
        return visible && !m_address.empty() ? Open() : Status::Ok();
    }
    bool Busy() const override { return false; }
    int ReadyState() const override { return 4; }

private:
    Status Open() {
        const QUrl url = QUrl::fromUserInput(QString::fromStdString(m_address));
        if (!url.isValid()) return Status::Fail(-1, "The web address is not valid: " + m_address);
        if (!QDesktopServices::openUrl(url))
            return Status::Fail(-1, "No web browser could be started to show " + m_address);
        return Status::Ok();
    }

    std::string m_address;
    bool m_visible = false;
};

}  // namespace

std::unique_ptr<ExternalBrowserWindow> ExternalBrowserQt::Create(Status* error) {
    if (error) *error = Status::Ok();
    return std::make_unique<DesktopBrowserWindow>();
}

}  // namespace brisko
