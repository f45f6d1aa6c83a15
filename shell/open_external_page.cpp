// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/open_external_page.h"

#include "platform/error.h"

namespace brisko {

namespace {
void ThrowIfFailed(const Status& status) {
    if (!status.ok()) throw AppError(status.code, "brisko", status.text);
}
}  // namespace

void OpenExternalPage(ExternalBrowser& browser, const std::string& address) {
    Status error;
    std::unique_ptr<ExternalBrowserWindow> window = browser.Create(&error);
    if (!window) ThrowIfFailed(error.ok() ? Status::Fail(-1, "The web browser could not be started.") : error);
    ThrowIfFailed(window->Navigate(address));
    ThrowIfFailed(window->SetVisible(true));
}  // the window lives on by itself once the reference is gone

}  // namespace brisko
