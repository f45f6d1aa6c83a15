#include "webtest/launch_web_test.h"

#include "app/main_window.h"
#include "app/window_instances.h"
#include "webtest/web_test_texts.h"

namespace brisko {

void LaunchWebTest(const AppContext& context, WebTestKind kind) {
    const bool ie = kind == WebTestKind::InternetExplorer;
    context.messages->Show(ie ? webtext::kCommand1Message : webtext::kBtnfireMessage);
    context.windows->Show(ie ? "frmbrowser" : "firebrowser");
    context.windows->Unload(ie ? "firebrowser" : "frmbrowser");
    if (auto* mainWindow = context.windows->Get<brisko::main>("main")) mainWindow->EnableBoostControls();
}

}  // namespace brisko
