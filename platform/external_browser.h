// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "InternetExplorer.Application": a new, separate browser window per instance.
// Back ends: ExternalBrowserQt (qt/, the desktop's default browser), later win32 (COM).
// DesktopServices (platform/services.h) owns it; the windows borrow it.
#include <memory>
#include <string>

#include "platform/error.h"

namespace brisko {

class ExternalBrowserWindow {
public:
    virtual ~ExternalBrowserWindow() = default;
    virtual Status Navigate(const std::string& address) = 0;
    virtual Status SetVisible(bool visible) = 0;
    virtual bool Busy() const = 0;
    virtual int ReadyState() const = 0;  // 4 = complete
};

class ExternalBrowser {
public:
    virtual ~ExternalBrowser() = default;
    // Creates the automation object; on failure returns null and fills error.
    virtual std::unique_ptr<ExternalBrowserWindow> Create(Status* error) = 0;
};

}  // namespace brisko
