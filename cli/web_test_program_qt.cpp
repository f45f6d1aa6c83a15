// SPDX-License-Identifier: GPL-3.0-or-later
// brisko-cli web-test with Qt's browser engines: the windows' own engines, offscreen.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <iostream>

#include "cli/history_command.h"
#include "cli/web_test_command.h"
#include "cli/web_test_program.h"
#include "history/history_file.h"
#include "platform/qt/browser_engine_qt.h"
#include "webtest/control_profile.h"
#include "webtest/web_test_logic.h"

namespace brisko::cli {

namespace {

// Qt's and the engine's chatter would bury what the command says on standard error.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << message.toStdString() << '\n';
}

}  // namespace

int RunWebTestProgram(char* program, const SystemServices& system, const Request& request) {
    // The engines draw offscreen: a terminal may have no display, and a test needs none.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietQtMessages);
    PrepareDesktopProcess();
    int qtArgc = 1;
    char* qtArgv[] = {program, nullptr};
    QApplication app(qtArgc, qtArgv);
    QApplication::setApplicationName("Brisko");
    // The windows' engines and profiles; the tests go before their engines, those before the profiles.
    const DesktopServices desktop = CreateDesktopServices();
    const LocaleService& locale = *desktop.locale;
    const Clock& clock = *system.clock;
    EventWaiter& waiter = *desktop.waiter;
    cli::RecordedMessages messages;
    HistoryFile history(system.userDataFolder, kProgramName);
    const WebTestServices services{&clock, &waiter, desktop.pump.get(), &messages, locale.DecimalSeparator(), &history};
    WebTestView view;
    view.address = [&request] { return request.address; };

    BrowserEngines& engines = *desktop.browserEngines;
    std::unique_ptr<IeBrowserEngine> ieEngine;
    std::unique_ptr<MozillaBrowserEngine> mozillaEngine;
    SyncHttpClient& http = *desktop.syncHttp;
    std::unique_ptr<WebTestBase> test;
    std::function<void()> press;
    Status error;
    if (request.engine == cli::EngineChoice::Ie) {
        ieEngine = engines.CreateIeEngine(&error);
        if (ieEngine) {
            auto ie = std::make_unique<IeWebTest>(*ieEngine, nullptr, services, view);
            ie->Load();
            press = [ie = ie.get()] { ie->Test(); };
            test = std::move(ie);
        }
    } else {
        std::string problem;
        const std::string profile = MozillaEngineProfile(*system.registry, *system.paths, desktop.appDataFolder + "/mozillaControl",
                                                     &problem);
        if (!problem.empty()) std::cerr << problem << '\n';
        mozillaEngine = engines.CreateMozillaEngine(profile, &error);
        if (mozillaEngine) {
            auto mozilla = std::make_unique<MozillaWebTest>(*mozillaEngine, http, services, view);
            mozilla->Load();
            press = [mozilla = mozilla.get()] { mozilla->Test(); };
            test = std::move(mozilla);
        }
    }
    if (!test) {
        std::cerr << cli::kProgramName << " web-test: the browser engine could not be started: " << error.text
                  << '\n';
        return cli::kExitFailed;
    }
    // Shown, offscreen, at the size of a test window's view: an engine never shown takes
    // its page for one in the background and fetches half as many parts at once.
    const BrowserEngine& engine = ieEngine ? static_cast<const BrowserEngine&>(*ieEngine) : *mozillaEngine;
    if (const auto* view = dynamic_cast<const QtEngineView*>(&engine)) {
        view->Widget()->resize(kEngineViewSize);
        view->Widget()->show();
    }

    QTimer limit;  // ends a load that never finishes; its result is then Cancelled
    limit.setSingleShot(true);
    limit.setInterval(cli::kLoadLimitSeconds * 1000);
    TimedLoad firstPage(clock, waiter);
    QObject::connect(&limit, &QTimer::timeout, [&] {
        firstPage.Cancel();
        test->Close();
    });
    limit.start();
    cli::WaitForFirstPage(firstPage, engine);
    limit.stop();
    const auto timed = [&] {
        limit.start();
        press();
        limit.stop();
    };
    const cli::WebTestRequest what{request.address, request.engine == cli::EngineChoice::Ie ? "ie" : "mozilla",
                                   request.runs, request.json, locale.DecimalSeparator()};
    const int status = cli::RunWebTests(*test, timed, messages, what, std::cout, std::cerr);
    cli::WarnIfNotRecorded(history, "web-test", std::cerr);
    return status;
}

}  // namespace brisko::cli
