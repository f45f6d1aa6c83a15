#pragma once
// Stand-in for the restart prompts "restart" and "Restart3" until the real ones exist.
#include "app/form_window.h"

namespace brisko {

class PromptPlaceholder : public FormWindow {
    Q_OBJECT
public:
    explicit PromptPlaceholder(const QString& windowName);
};

}  // namespace brisko
