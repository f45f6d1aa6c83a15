// SPDX-License-Identifier: GPL-3.0-or-later
// brisko-cli: the terminal front end; the platform factory builds its back ends.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <optional>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "cli/build_traits.h"
#include "cli/cli_arguments.h"
#include "cli/cli_boost.h"
#include "cli/data_test_command.h"
#include "cli/history_command.h"
#include "cli/import_read_back.h"
#include "cli/progress_line.h"
#include "cli/quality_command.h"
#include "cli/report_compare.h"
#include "cli/web_test_program.h"
#include "history/history_file.h"
#include "platform/program_arguments.h"
#include "platform/services.h"
#include "platform/terminal.h"
#include "speedtest/download_files.h"

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
    ::_exit(cli::kInterruptedExitStatus);
}

// With --json standard output holds the objects alone; the progress goes aside.
std::ostream& ProgressStream(bool json) { return json ? std::cerr : std::cout; }

// The progress line of a test; on a terminal, Ctrl+C ends its line first.
cli::ProgressLine StartProgress(bool json) {
    const StandardStream stream = json ? StandardStream::Error : StandardStream::Output;
    if (IsTerminal(stream)) {
        g_progressTerminal = json ? STDERR_FILENO : STDOUT_FILENO;
        std::signal(SIGINT, EndOnInterrupt);
    }
    return cli::ProgressLine(ProgressStream(json), IsTerminal(stream), TerminalColumns(stream));
}

int RunDataTest(const SystemServices& system, const cli::Request& request) {
    const ConsoleServices console = CreateConsoleServices();
    EventLoop& loop = *console.loop;

    const TestFileTags files = MakeTestFileTags(std::getenv(kTestServerVariable));
    if (!files.problem.empty()) std::cerr << files.problem << '\n';
    const std::string& url = files.tags[request.testFile];

    std::ostream& progressOut = ProgressStream(request.json);
    cli::ProgressLine progress = StartProgress(request.json);
    progressOut << "Test file: " << url << std::endl;

    const LocaleService& locale = *console.locale;
    HistoryFile history(system.userDataFolder, cli::kProgramName);
    std::vector<std::int64_t> averageSpeeds;
    for (int run = 0; run < request.runs; ++run) {
        const std::unique_ptr<TcpSocket> socket = console.sockets->Create();
        EventLoop::TimerId timer1 = 0;  // the window's Timer1, while it runs
        cli::DataTestHooks hooks;
        std::unique_ptr<cli::CliDataTest> test;
        hooks.setTimer = [&](bool enabled) {
            if (!enabled && timer1) {
                loop.StopTimer(timer1);
                timer1 = 0;
            } else if (enabled && !timer1) {
                timer1 = loop.StartTimer(kTimerIntervalMs, [&test] { test->OnTimer(); });
            }
        };
        hooks.done = [&loop] { loop.Post([&loop] { loop.Quit(); }); };
        test = std::make_unique<cli::CliDataTest>(*socket, *system.clock, locale, progress, url, hooks,
                                                  cli::CliDataTest::kStallSeconds, &history);
        test->SetUnit(request.unit.value_or(cli::SpeedUnit::Kb));
        const EventLoop::TimerId watchdog = loop.StartTimer(kTimerIntervalMs, [&test] { test->Watch(); });

        test->Start();
        if (!test->Done()) loop.Run();
        loop.StopTimer(watchdog);
        if (timer1) loop.StopTimer(timer1);
        cli::WarnIfNotRecorded(history, "data-test", std::cerr);
        const int status = cli::FinishDataTest(*test, request.reportFile, request.json, locale, std::cout, std::cerr);
        if (status != cli::kExitOk) return status;
        averageSpeeds.push_back(test->Test().Results().averageSpeed);
    }
    if (request.runs > 1 && !request.json) std::cout << cli::SpeedSpreadText(averageSpeeds, locale.DecimalSeparator(),
                                          request.unit.value_or(cli::SpeedUnit::Kb));
    return cli::kExitOk;
}

// The network quality test needs no emulated machine: the clock and the history only.
int RunQuality(const cli::Request& request) {
    std::string problem;
    std::optional<QualityOptions> options = cli::QualityServer(std::getenv(kTestServerVariable), &problem);
    if (!options) {
        std::cerr << problem << '\n';
        return cli::kExitFailed;
    }
    options->phaseSeconds = request.qualitySeconds;
    options->streams = request.qualityStreams;
    const ConsoleServices console = CreateConsoleServices();
    const SystemClock clock;

    std::ostream& progressOut = ProgressStream(request.json);
    cli::ProgressLine progress = StartProgress(request.json);
    progressOut << "Server: " << HostAndPort(options->host, options->port) << std::endl;
    HistoryFile history(UserDataFolder(), cli::kProgramName);
    return cli::RunQualityCommand(*console.loop, *console.sockets, clock, &history, *options, request.json, progress,
                                  console.locale->DecimalSeparator(), std::cout, std::cerr,
                                  request.unit.value_or(cli::SpeedUnit::Mbit));
}

// Only where regedit may fail without a word: the emulated machine's never does.
cli::ReadBack ReadBackOnWindows(const SystemServices& system) {
    if (!cli::kNeedsElevation) return {};
    return [&system](const std::vector<std::string>& files) {
        // A few seconds for the imports to finish, in short rounds.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        return cli::ImportsNotLanded(*system.registry, system.folders.data, files, [until] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            return std::chrono::steady_clock::now() < until;
        });
    };
}

int RunBoost(const SystemServices& system, const cli::Request& request, const std::vector<std::string>& arguments) {
    const std::optional<int> refused = cli::CheckRights(*system.elevation, cli::CommandName(request.command), request.elevate,
                                         arguments, std::cout, std::cerr);
    if (refused) return *refused;
    NoEventPump pump;
    const BoostMode mode = request.command == cli::Command::Boost      ? BoostMode::Normal
                           : request.command == cli::Command::ProBoost ? BoostMode::Pro
                                                                       : BoostMode::Restore;
    HistoryFile history(system.userDataFolder, cli::kProgramName);
    const int status = cli::RunBoostCommand({system.processes.get(), system.registry.get(), system.paths.get(), &pump,
                                             system.files.get(), nullptr, &history,
                                             BoostLockFile(system.userDataFolder), system.regedit},
                                            mode, request.dialUp, std::cout, std::cerr, ReadBackOnWindows(system));
    cli::WarnIfNotRecorded(history, cli::CommandName(request.command), std::cerr);
    return status;
}

int RunReadReg(const SystemServices& system, const cli::Request& request) {
    return cli::RunReadReg(*system.registry, request.rootKey, request.keyPath, request.valueName, std::cout);
}

}  // namespace

int main(int argc, char** argv) {
    PrepareStandardStreams();
    const std::vector<std::string> arguments = ProgramArguments(argc, argv);
    const cli::ParseResult parsed = cli::ParseArguments(arguments);
    if (!parsed.ok()) {
        std::cerr << parsed.error << '\n';
        return cli::kExitUsage;
    }
    if (!parsed.output.empty()) {  // help or version
        std::cout << parsed.output;
        return cli::kExitOk;
    }
    const cli::Request& request = parsed.request;
    // Commands that read no machine leave it alone; the others fix it before the boost
    // enters the program's folder, so that regedit, started from there, finds the same one.
    const bool readsMachine = request.command != cli::Command::Compare && request.command != cli::Command::History &&
                              request.command != cli::Command::Quality && request.command != cli::Command::None;
    const SystemServices system = readsMachine ? CreateSystemServices() : SystemServices{};
    switch (request.command) {
        case cli::Command::DataTest: return RunDataTest(system, request);
        case cli::Command::Quality: return RunQuality(request);
        case cli::Command::WebTest: return cli::RunWebTestProgram(argv[0], system, request);
        case cli::Command::Boost:
        case cli::Command::ProBoost:
        case cli::Command::Restore: return RunBoost(system, request, arguments);
        case cli::Command::ReadReg: return RunReadReg(system, request);
        case cli::Command::Compare: {
            // The locale's decimal separator, read as the windows read it.
            const bool history = request.file.empty();
            const std::string path = history ? HistoryFile(UserDataFolder(), {}).Location() : request.file;
            return cli::RunCompare(path, history, CreateConsoleServices().locale->DecimalSeparator(), std::cout,
                                   std::cerr);
        }
        case cli::Command::History: {
            const cli::HistoryFormat format = request.json  ? cli::HistoryFormat::Json
                                              : request.csv ? cli::HistoryFormat::Csv
                                                            : cli::HistoryFormat::Table;
            return cli::RunHistory(HistoryFile(UserDataFolder(), cli::kProgramName), format, request.since,
                                   CreateConsoleServices().locale->DecimalSeparator(), std::cout, std::cerr,
                                   request.unit);
        }
        case cli::Command::None: break;  // the parser names a command or fails
    }
    return cli::kExitUsage;
}
