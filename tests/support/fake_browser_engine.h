// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Scripted browser engines, event wait and synchronous fetch for the web test windows.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/browser_engine.h"
#include "platform/event_wait.h"
#include "platform/sync_http.h"

namespace brisko::test {

// A request makes the engine busy and loading; the test finishes it with Complete().
template <class Engine>
class FakeEngine : public Engine {
public:
    int ReadyState() const override { return busy ? kReadyStateLoading : kReadyStateComplete; }
    bool Busy() const override { return busy; }
    Status LoadError() const override { return {}; }
    void ShowStatus(const std::string& text) { this->FireStatusTextChange(text); }

    bool busy = false;
    Status failNext;                    // the next request fails with this (then it is cleared)
    std::vector<std::string> requests;  // "navigate <address> [<flags>]", "refresh", "refresh2 <level>"

protected:
    Status Request(const std::string& what) {
        requests.push_back(what);
        if (!failNext.ok()) return std::exchange(failNext, Status::Ok());
        busy = true;
        return Status::Ok();
    }
};

class FakeIeEngine final : public FakeEngine<IeBrowserEngine> {
public:
    Status Navigate(const std::string& address, int flags) override {
        return Request("navigate " + address + " " + std::to_string(flags));
    }
    Status Refresh() override { return Request("refresh"); }
    void Complete() {
        busy = false;
        FireDownloadComplete();
    }
};

class FakeMozillaEngine final : public FakeEngine<MozillaBrowserEngine> {
public:
    Status Navigate(const std::string& address, int flags) override {
        return Request("navigate " + address + (flags ? " " + std::to_string(flags) : std::string()));
    }
    Status Refresh2(std::int16_t level) override { return Request("refresh2 " + std::to_string(level)); }
    void Complete() {
        busy = false;
        FireStatusTextChange("Done");
    }
};

// Hands out fake engines and keeps a pointer to the latest of each kind.
class FakeBrowserEngines final : public BrowserEngines {
public:
    std::unique_ptr<IeBrowserEngine> CreateIeEngine(Status*) override {
        auto engine = std::make_unique<FakeIeEngine>();
        ie = engine.get();
        return engine;
    }
    std::unique_ptr<MozillaBrowserEngine> CreateMozillaEngine(const std::string& profile, Status*) override {
        mozillaProfile = profile;
        auto engine = std::make_unique<FakeMozillaEngine>();
        mozilla = engine.get();
        return engine;
    }
    FakeIeEngine* ie = nullptr;
    FakeMozillaEngine* mozilla = nullptr;
    std::string mozillaProfile;
};

// Each wait runs (and drops) the next scripted step, then onEveryWait once they have run out.
class FakeEventWaiter final : public EventWaiter {
public:
    void WaitForWake(int) override {
        ++waits;
        std::function<void()> step = onEveryWait;
        if (!steps.empty()) {
            step = steps.front();
            steps.erase(steps.begin());
        }
        if (step) step();
    }
    void Wake() override {}
    std::vector<std::function<void()>> steps;
    std::function<void()> onEveryWait;
    int waits = 0;
};

class FakeSyncHttp final : public SyncHttpClient {
public:
    Status Get(const std::string& address, std::string* responseText) override {
        fetched.push_back(address);
        responseText->clear();
        return result;
    }
    Status result;
    std::vector<std::string> fetched;
};

}  // namespace brisko::test
