// brisko-cli: the terminal front end; the platform factory builds its back ends.
#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_arguments.h"
#include "cli/cli_boost.h"
#include "cli/data_test_command.h"
#include "cli/history_command.h"
#include "cli/web_test_command.h"
#include "cli/progress_line.h"
#include "cli/report_compare.h"
#include "history/history_file.h"
#include "platform/services.h"
#include "platform/terminal.h"
#include "speedtest/download_files.h"
#include "webtest/control_profile.h"
#include "webtest/web_test_logic.h"

namespace {

using namespace brisko;

// Where a progress line is being redrawn on a terminal; -1 when none is.
volatile std::sig_atomic_t g_progressTerminal = -1;

// Ctrl+C in the middle of a redrawn line: end the line, so the shell's prompt starts
// on one of its own, and end as interrupted programs do.
extern "C" void EndOnInterrupt(int) {
    if (g_progressTerminal >= 0) {
        const ssize_t written = ::write(g_progressTerminal, "\n", 1);
        (void)written;
    }
    ::_exit(128 + SIGINT);
}

int RunDataTest(char* program, const SystemServices& system, const cli::Request& request) {
    // Qt sees the program's name only: the command line is ours, already read.
    int qtArgc = 1;
    char* qtArgv[] = {program, nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    QCoreApplication::setApplicationName("Brisko");
    const DesktopServices desktop = CreateDesktopServices();

    const TestFileTags files = MakeTestFileTags(std::getenv(kTestServerVariable));
    if (!files.problem.empty()) std::cerr << files.problem << '\n';
    const std::string& url = files.tags[request.testFile];

    // With --json standard output holds the object alone; the progress goes aside.
    const StandardStream stream = request.json ? StandardStream::Error : StandardStream::Output;
    std::ostream& progressOut = request.json ? std::cerr : std::cout;
    cli::ProgressLine progress(progressOut, IsTerminal(stream), TerminalColumns(stream));
    if (IsTerminal(stream)) {
        g_progressTerminal = request.json ? STDERR_FILENO : STDOUT_FILENO;
        std::signal(SIGINT, EndOnInterrupt);
    }
    progressOut << "Test file: " << url << std::endl;

    const LocaleService& locale = *desktop.locale;
    const std::unique_ptr<TcpSocket> socket = desktop.sockets->Create();
    QTimer timer1;  // the window's Timer1
    timer1.setInterval(kTimerIntervalMs);
    timer1.setTimerType(Qt::PreciseTimer);
    QTimer watchdog;
    watchdog.setInterval(kTimerIntervalMs);

    HistoryFile history(system.userDataFolder, cli::kProgramName);
    cli::DataTestHooks hooks;
    hooks.setTimer = [&timer1](bool enabled) {
        if (!enabled)
            timer1.stop();
        else if (!timer1.isActive())
            timer1.start();
    };
    hooks.done = [&app] { QTimer::singleShot(0, &app, &QCoreApplication::quit); };
    cli::CliDataTest test(*socket, *system.clock, locale, progress, url, hooks, cli::CliDataTest::kStallSeconds,
                          &history);
    QObject::connect(&timer1, &QTimer::timeout, [&test] { test.OnTimer(); });
    QObject::connect(&watchdog, &QTimer::timeout, [&test] { test.Watch(); });

    watchdog.start();
    test.Start();
    if (!test.Done()) app.exec();
    cli::WarnIfNotRecorded(history, "data-test", std::cerr);
    return cli::FinishDataTest(test, request.reportFile, request.json, locale, std::cout, std::cerr);
}

// Qt's and the engine's chatter would bury what the command says on standard error.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << message.toStdString() << '\n';
}

int RunWebTest(char* program, const SystemServices& system, const cli::Request& request) {
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
    HistoryFile history(system.userDataFolder, cli::kProgramName);
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

    QTimer limit;  // ends a load that never finishes; its result is then Cancelled
    limit.setSingleShot(true);
    limit.setInterval(cli::kLoadLimitSeconds * 1000);
    TimedLoad firstPage(clock, waiter);
    QObject::connect(&limit, &QTimer::timeout, [&] {
        firstPage.Cancel();
        test->Close();
    });
    limit.start();
    cli::WaitForFirstPage(firstPage, ieEngine ? static_cast<const BrowserEngine&>(*ieEngine) : *mozillaEngine);
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

int RunBoost(const SystemServices& system, const cli::Request& request) {
    NoEventPump pump;
    const BoostMode mode = request.command == cli::Command::Boost      ? BoostMode::Normal
                           : request.command == cli::Command::ProBoost ? BoostMode::Pro
                                                                       : BoostMode::Restore;
    HistoryFile history(system.userDataFolder, cli::kProgramName);
    const int status = cli::RunBoostCommand({system.processes.get(), system.registry.get(), system.paths.get(), &pump,
                                             system.files.get(), nullptr, &history},
                                            mode, request.dialUp, std::cout, std::cerr);
    cli::WarnIfNotRecorded(history, cli::CommandName(request.command), std::cerr);
    return status;
}

int RunReadReg(const SystemServices& system, const cli::Request& request) {
    return cli::RunReadReg(*system.registry, request.rootKey, request.keyPath, request.valueName, std::cout);
}

}  // namespace

int main(int argc, char** argv) {
    const cli::ParseResult parsed = cli::ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.ok()) {
        std::cerr << parsed.error << '\n';
        return cli::kExitUsage;
    }
    const cli::Request& request = parsed.request;
    if (request.help) {
        std::cout << cli::HelpText(request.command);
        return cli::kExitOk;
    }
    // Commands that read no machine leave it alone; the others fix it before the boost
    // enters the program's folder, so that regedit, started from there, finds the same one.
    const bool readsMachine = request.command != cli::Command::Compare && request.command != cli::Command::History &&
                              request.command != cli::Command::None;
    const SystemServices system = readsMachine ? CreateSystemServices() : SystemServices{};
    switch (request.command) {
        case cli::Command::DataTest: return RunDataTest(argv[0], system, request);
        case cli::Command::WebTest: return RunWebTest(argv[0], system, request);
        case cli::Command::Boost:
        case cli::Command::ProBoost:
        case cli::Command::Restore: return RunBoost(system, request);
        case cli::Command::ReadReg: return RunReadReg(system, request);
        case cli::Command::Compare: {
            // The locale's decimal separator, read as the windows read it.
            int qtArgc = 1;
            char* qtArgv[] = {argv[0], nullptr};
            QCoreApplication app(qtArgc, qtArgv);
            const bool history = request.file.empty();
            const std::string path = history ? HistoryFile(UserDataFolder(), {}).Location() : request.file;
            return cli::RunCompare(path, history, CreateDesktopServices().locale->DecimalSeparator(), std::cout,
                                   std::cerr);
        }
        case cli::Command::History: {
            int qtArgc = 1;
            char* qtArgv[] = {argv[0], nullptr};
            QCoreApplication app(qtArgc, qtArgv);
            const HistoryFile history(UserDataFolder(), cli::kProgramName);
            const cli::HistoryFormat format = request.json  ? cli::HistoryFormat::Json
                                              : request.csv ? cli::HistoryFormat::Csv
                                                            : cli::HistoryFormat::Table;
            return cli::RunHistory(history, format, request.since, CreateDesktopServices().locale->DecimalSeparator(),
                                   std::cout, std::cerr);
        }
        case cli::Command::None: break;
    }
    std::cout << cli::HelpText(cli::Command::None);
    return cli::kExitOk;
}
