#include "tests/support/fake_browser_engine.h"

namespace brisko::test {

Status FakeEngineState::Request(const std::string& what) {
    requests.push_back(what);
    if (!failNext.ok()) {
        Status failure = failNext;
        failNext = Status::Ok();
        return failure;
    }
    busy = true;
    readyState = kReadyStateLoading;
    return Status::Ok();
}

Status FakeIeEngine::Navigate(const std::string& address, int flags) {
    return Request("navigate " + address + " " + std::to_string(flags));
}

void FakeIeEngine::Complete() {
    busy = false;
    readyState = kReadyStateComplete;
    FireDownloadComplete();
}

void FakeMozillaEngine::Complete() {
    busy = false;
    readyState = kReadyStateComplete;
    FireStatusTextChange("Done");
}

std::unique_ptr<IeBrowserEngine> FakeBrowserEngines::CreateIeEngine(Status* error) {
    if (error) *error = Status::Ok();
    auto engine = std::make_unique<FakeIeEngine>();
    ie = engine.get();
    return engine;
}

std::unique_ptr<MozillaBrowserEngine> FakeBrowserEngines::CreateMozillaEngine(const std::string& profileFolder,
                                                                             Status* error) {
    if (error) *error = Status::Ok();
    mozillaProfile = profileFolder;
    auto engine = std::make_unique<FakeMozillaEngine>();
    mozilla = engine.get();
    return engine;
}

void FakeEventWaiter::WaitForWake(int timeoutMs) {
    lastTimeoutMs = timeoutMs;
    const size_t step = static_cast<size_t>(waits++);
    if (step < steps.size()) {
        if (steps[step]) steps[step]();
    } else if (onEveryWait) {
        onEveryWait();
    }
}

Status FakeSyncHttp::Get(const std::string& address, std::string* responseText) {
    fetched.push_back(address);
    *responseText = result.ok() ? body : std::string();
    return result;
}

}  // namespace brisko::test
