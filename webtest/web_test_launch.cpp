// SPDX-License-Identifier: GPL-3.0-or-later
#include "webtest/web_test_launch.h"

#include "webtest/web_test_texts.h"

namespace brisko {

bool LaunchWebTest(WindowInstances& windows, MessageBoxService& messages, WebTestKind kind) {
    const bool ie = kind == WebTestKind::InternetExplorer;
    messages.Show(ie ? webtext::kCommand1Message : webtext::kBtnfireMessage);
    windows.Show(ie ? "frmbrowser" : "firebrowser");
    windows.Unload(ie ? "firebrowser" : "frmbrowser");
    return true;
}

}  // namespace brisko
