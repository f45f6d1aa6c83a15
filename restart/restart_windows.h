#pragma once
// The restart prompts: `restart` after a boost, `Restart3` after a restore.
#include "shell/app_context.h"
#include "shell/form_window.h"

namespace brisko {

class restart : public FormWindow {
    Q_OBJECT
public:
    explicit restart(const AppContext& context);

private:
    void ShowImprovements();

    AppContext m_context;
};

class Restart3 : public FormWindow {
    Q_OBJECT
public:
    explicit Restart3(const AppContext& context);

private:
    AppContext m_context;
};

}  // namespace brisko
