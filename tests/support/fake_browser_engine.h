#pragma once
// Scripted stand-ins for the browser engines, the event wait and the synchronous fetch.
#include <functional>
#include <string>
#include <vector>

#include "platform/browser_engine.h"
#include "platform/event_wait.h"
#include "platform/sync_http.h"

namespace brisko::test {

// Shared by both fake engines: a load request makes the engine busy and loading; the
// test finishes it with Complete() or fires events on its own.
class FakeEngineState {
public:
    int readyState = kReadyStateComplete;
    bool busy = false;
    Status failNext;             // the next request fails with this (then it is cleared)
    Status loadError;            // how the loads end
    std::vector<std::string> requests;  // "navigate <address> <flags>", "refresh", "refresh2 <level>"

protected:
    Status Request(const std::string& what);
};

class FakeIeEngine final : public IeBrowserEngine, public FakeEngineState {
public:
    Status Navigate(const std::string& address, int flags) override;
    Status Refresh() override { return Request("refresh"); }
    int ReadyState() const override { return readyState; }
    bool Busy() const override { return busy; }
    Status LoadError() const override { return loadError; }
    void ShowStatus(const std::string& text) { FireStatusTextChange(text); }
    void Complete();  // complete and idle, then DownloadComplete
};

class FakeMozillaEngine final : public MozillaBrowserEngine, public FakeEngineState {
public:
    Status Navigate(const std::string& address) override { return Request("navigate " + address); }
    Status Refresh2(std::int16_t level) override { return Request("refresh2 " + std::to_string(level)); }
    int ReadyState() const override { return readyState; }
    bool Busy() const override { return busy; }
    Status LoadError() const override { return loadError; }
    void ShowStatus(const std::string& text) { FireStatusTextChange(text); }
    void Committed(const std::string& address) { FireNavigateComplete2(address); }
    void Complete();  // complete and idle, then "Done"
};

// Hands out fake engines and keeps a pointer to the latest of each kind.
class FakeBrowserEngines final : public BrowserEngines {
public:
    std::unique_ptr<IeBrowserEngine> CreateIeEngine(Status* error) override;
    std::unique_ptr<MozillaBrowserEngine> CreateMozillaEngine(const std::string& profileFolder,
                                                              Status* error) override;
    FakeIeEngine* ie = nullptr;
    FakeMozillaEngine* mozilla = nullptr;
    std::string mozillaProfile;
};

// Each wait runs the next scripted step (or onEveryWait); wakes are counted.
class FakeEventWaiter final : public EventWaiter {
public:
    void WaitForWake(int timeoutMs) override;
    void Wake() override { ++wakes; }

    std::vector<std::function<void()>> steps;
    std::function<void()> onEveryWait;  // after the steps have run out
    int waits = 0;
    int wakes = 0;
    int lastTimeoutMs = 0;
};

class FakeSyncHttp final : public SyncHttpClient {
public:
    Status Get(const std::string& address, std::string* responseText) override;
    std::string body;
    Status result;
    std::vector<std::string> fetched;
};

}  // namespace brisko::test
