// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every window of the program on fake services, each opened by its name.
#include "history/history_window.h"
#include "quality/quality_window.h"
#include "platform/posix/paths_posix.h"
#include "restart/restart_windows.h"
#include "speedtest/data_window.h"
#include "tests/app/app_fixture.h"
#include "tests/support/fake_browser_engine.h"
#include "tests/support/fake_network.h"
#include "webtest/web_test_window.h"

namespace brisko::test {

class EveryWindowFixture : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        windows.Register("data", [this] { return new data(dataServices); });
        windows.Register("frmbrowser", [this] { return new frmbrowser(webServices); });
        windows.Register("firebrowser", [this] { return new firebrowser(webServices); });
        windows.Register("restart", [this] { return new restart(restartServices); });
        windows.Register("Restart3", [this] { return new Restart3(restartServices); });
        windows.Register("history", [this] { return new brisko::history(historyServices); });
        windows.Register("quality", [this] { return new brisko::quality(qualityServices); });
    }
    void TearDown() override {
        for (const char* name : kNames) windows.Unload(name);
        AppFixture::TearDown();
    }

    static constexpr const char* kNames[] = {"main", "Help", "toptip", "Formserial", "data", "frmbrowser",
                                             "firebrowser", "restart", "Restart3", "history", "quality"};
    struct Sockets final : TcpSocketFactory {
        std::unique_ptr<TcpSocket> Create() override { return std::make_unique<FakeTcpSocket>(); }
    } sockets;
    FakeClock clock;
    FakeLocale locale;
    FakeSaveDialog saveDialog;
    FakeHistory history;
    FakeStringRegistry registry;
    FakeProcessStarter processes;
    FakeBrowserEngines engines;
    FakeSyncHttp http;
    FakeEventWaiter waiter;
    NoEventPump pump;
    PathMapperPosix paths{"/nonexistent", "/opt/brisko"};
    DataWindowServices dataServices{&clock, &messages, &browser, &sockets, &locale, &saveDialog, nullptr, &history};
    WebTestWindowServices webServices{.windows = &windows, .messages = &messages, .externalBrowser = &browser,
                                      .clock = &clock, .waiter = &waiter, .pump = &pump, .locale = &locale,
                                      .browserEngines = &engines, .syncHttp = &http, .registry = &registry,
                                      .paths = &paths, .processes = &processes};
    RestartServices restartServices{&windows, &messages, &processes, &paths, {}, nullptr};
    HistoryWindowServices historyServices{&history, &saveDialog, &messages, &locale};
    FakeEventLoop loop{clock};
    FakeNetwork network{loop, clock};
    QualityWindowServices qualityServices{&loop, &network, &clock, &locale, &history, {}, {}};
};

}  // namespace brisko::test
