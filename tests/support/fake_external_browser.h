#pragma once
// Records the pages opened in external browser windows; can refuse to start one.
#include <string>
#include <vector>

#include "platform/external_browser.h"

namespace brisko::test {

class FakeExternalBrowser final : public ExternalBrowser {
public:
    std::unique_ptr<ExternalBrowserWindow> Create(Status* error) override;

    bool failCreate = false;
    int windowsCreated = 0;
    std::vector<std::string> shownPages;  // address of each window made visible
};

}  // namespace brisko::test
