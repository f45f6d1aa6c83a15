#include "tests/support/fake_external_browser.h"

namespace brisko::test {

namespace {
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
}  // namespace

std::unique_ptr<ExternalBrowserWindow> FakeExternalBrowser::Create(Status* error) {
    if (failCreate) {
        *error = Status::Fail(-2147221005, "Invalid class string");
        return nullptr;
    }
    ++windowsCreated;
    *error = Status::Ok();
    return std::make_unique<Window>(*this);
}

}  // namespace brisko::test
