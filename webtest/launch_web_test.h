#pragma once
// The main window's web test launchers, `Command1` and `btnfire`.
#include "app/app_context.h"

namespace brisko {

enum class WebTestKind { InternetExplorer, Firefox };

// Shows the hint, opens the chosen test window, closes the other one and enables the
// main window's boost controls for the rest of the run.
void LaunchWebTest(const AppContext& context, WebTestKind kind);

}  // namespace brisko
