#pragma once
// Records the pages opened in external browser windows; can refuse to start one.
#include <string>
#include <vector>

#include "platform/external_browser.h"

namespace brisko::test {

class FakeExternalBrowser final : public ExternalBrowser {
public:
    std::unique_ptr<ExternalBrowserWindow> Create(Status* error) override {
        *error = failCreate ? Status::Fail(-2147221005, "Invalid class string") : Status::Ok();
        if (failCreate) return nullptr;
        ++windowsCreated;
        return std::make_unique<Window>(*this);
    }

    bool failCreate = false;
    int windowsCreated = 0;
    std::vector<std::string> shownPages;  // address of each window made visible

private:
    class Window final : public ExternalBrowserWindow {
    public:
        explicit Window(FakeExternalBrowser& owner) : m_owner(owner) {}
        Status Navigate(const std::string& address) override {
            m_address = address;
            return Status::Ok();
        }
        Status SetVisible(bool visible) override {
            if (visible) m_owner.shownPages.push_back(m_address);
            return Status::Ok();
        }
        bool Busy() const override { return false; }
        int ReadyState() const override { return 4; }

    private:
        FakeExternalBrowser& m_owner;
        std::string m_address;
    };
};

}  // namespace brisko::test
