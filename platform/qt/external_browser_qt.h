// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/external_browser.h"

namespace brisko {

// The desktop's default browser stands in for a new Internet Explorer window.
// It cannot be watched, so a window counts as loaded once the page was handed over.
class ExternalBrowserQt final : public ExternalBrowser {
public:
    std::unique_ptr<ExternalBrowserWindow> Create(Status* error) override;
};

}  // namespace brisko
