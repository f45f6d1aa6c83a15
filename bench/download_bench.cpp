// SPDX-License-Identifier: GPL-3.0-or-later
// Download test benchmarks: the Data Speed Tests window's own code (window, test run,
// client, QTcpSocket) against brisko-testserver on loopback. Prints figures.
//
//   brisko-bench-download               every section
//   brisko-bench-download throughput    1 GiB stream, the window and brisko-cli against curl
//   brisko-bench-download accuracy      paced servers: reported average vs true rate
//   brisko-bench-download memory        peak memory for growing file sizes
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <string>
#include <vector>

#include "platform/services.h"
#include "speedtest/data_window.h"
#include "tests/support/qt/test_server.h"

namespace {

using brisko::test::TestServerProcess;

// The back ends the window runs on, built once by the platform's factory.
const brisko::SystemServices* g_system = nullptr;
const brisko::DesktopServices* g_desktop = nullptr;

class RecordingMessages final : public brisko::MessageBoxService {
public:
    void Show(const std::string& text, const std::string&, bool) override {
        texts.push_back(text);
        if (onShow) onShow();
    }
    std::vector<std::string> texts;
    std::function<void()> onShow;
};

// Resident set size now, from /proc.
long ResidentKilobytes() {
    FILE* f = std::fopen("/proc/self/statm", "r");
    long pages = 0, resident = 0;
    if (f) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

struct Run {
    long residentBeforeKB = 0;  // just before the button press
    long residentPeakKB = 0;    // highest reading at a tick
    bool finished = false;
    double averageKBs = 0;     // the results panel's average
    double totalSeconds = 0;   // the results panel's time
    std::vector<double> tickGaps;  // ms between ticks
    std::string problem;
};

double LeadingNumber(const QString& text) { return text.section(' ', 0, 0).toDouble(); }

// One quick test through the window, as a user would run it. With stopAfterMs the
// test is stopped then (an endless stream) instead of awaited.
Run RunWindow(const QString& server, int timeoutMs, int stopAfterMs = 0) {
    qputenv("BRISKO_TEST_SERVER", server.toUtf8());
    RecordingMessages messages;
    brisko::DataWindowServices services;
    services.clock = g_system->clock.get();
    services.messages = &messages;
    services.sockets = g_desktop->sockets.get();
    services.locale = g_desktop->locale.get();
    services.saveDialog = g_desktop->saveDialog.get();
    services.printer = g_desktop->printer.get();

    auto* window = new brisko::data(services);
    window->show();
    Run run;
    QElapsedTimer sinceTick;
    QObject::connect(window->findChild<QTimer*>("Timer1"), &QTimer::timeout, window, [&] {
        if (sinceTick.isValid()) run.tickGaps.push_back(sinceTick.nsecsElapsed() / 1e6);
        sinceTick.start();
        run.residentPeakKB = std::max(run.residentPeakKB, ResidentKilobytes());
    });
    QEventLoop loop;
    messages.onShow = [&] { loop.quit(); };
    QTimer::singleShot(stopAfterMs ? stopAfterMs : timeoutMs, &loop, &QEventLoop::quit);
    run.residentBeforeKB = ResidentKilobytes();
    window->findChild<QPushButton*>("btnStartTest")->click();
    loop.exec();
    if (stopAfterMs) {
        run.averageKBs = LeadingNumber(window->findChild<QLabel*>("lblKBAvg")->text().section(" - ", 1));
        window->findChild<QPushButton*>("btnStartTest")->click();
    }
    if (!messages.texts.empty() && messages.texts.back() == brisko::kDoneText) {
        run.finished = true;
        run.averageKBs = LeadingNumber(window->findChild<QLabel*>("lblAverageSpeed")->text());
        run.totalSeconds = LeadingNumber(window->findChild<QLabel*>("lblTotalTime")->text());
    } else {
        run.problem = messages.texts.empty() ? "timed out" : messages.texts.back();
    }
    delete window;
    return run;
}

// curl on the same server and file: bytes per second.
double RunCurl(const QString& server) {
    QProcess curl;
    curl.start("curl", {"-s", "-o", "/dev/null", "-w", "%{speed_download}", "http://" + server + "/5MB.zip"});
    if (!curl.waitForFinished(600000) || curl.exitCode() != 0) return 0;
    return curl.readAllStandardOutput().toDouble();
}

// A program run to its end, with its standard output and the CPU time the whole
// process took (user and system, start-up included).
struct ChildRun {
    bool ok = false;
    std::string out;
    double cpuSeconds = 0;
};

ChildRun RunChild(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
    ChildRun run;
    char outPath[] = "/tmp/brisko-bench-XXXXXX";
    const int outFd = mkstemp(outPath);
    if (outFd < 0) return run;
    unlink(outPath);
    std::vector<std::string> env = extraEnv;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);  // the first of a name wins
    std::vector<char*> argv, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned == 0) {
        int status = 0;
        rusage usage{};
        if (wait4(pid, &status, 0, &usage) == pid) {
            run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
            run.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                             (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        }
    }
    char buffer[4096];
    lseek(outFd, 0, SEEK_SET);
    for (ssize_t n; (n = read(outFd, buffer, sizeof buffer)) > 0;) run.out.append(buffer, static_cast<size_t>(n));
    close(outFd);
    return run;
}

// The number after "key": in brisko-cli's JSON.
double JsonNumber(const std::string& json, const std::string& key) {
    const std::size_t at = json.find("\"" + key + "\":");
    return at == std::string::npos ? 0 : std::strtod(json.c_str() + at + key.size() + 3, nullptr);
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void PrintTicks(const std::vector<double>& gaps) {
    if (gaps.empty()) {
        std::printf("    ticks: too few to measure\n");
        return;
    }
    const double mean = std::accumulate(gaps.begin(), gaps.end(), 0.0) / gaps.size();
    double var = 0;
    for (double g : gaps) var += (g - mean) * (g - mean);
    std::printf("    tick gaps over %zu ticks: mean %.1f ms, min %.1f, max %.1f, std dev %.1f ms\n", gaps.size(), mean,
                *std::min_element(gaps.begin(), gaps.end()), *std::max_element(gaps.begin(), gaps.end()),
                std::sqrt(var / gaps.size()));
}

void Throughput() {
    std::printf("Throughput: 1 GiB stream on loopback, 3 rounds each, median\n");
    TestServerProcess server({"--stream", "1G", "--quiet"});
    if (!server.Started()) {
        std::printf("    brisko-testserver did not start\n");
        return;
    }
    std::vector<double> ours, theirs;
    std::vector<double> gaps;
    for (int round = 0; round < 3; ++round) {
        const Run run = RunWindow(server.Address(), 600000);
        if (!run.finished) {
            std::printf("    window run failed: %s\n", run.problem.c_str());
            return;
        }
        ours.push_back(run.averageKBs * 1024);
        gaps.insert(gaps.end(), run.tickGaps.begin(), run.tickGaps.end());
        theirs.push_back(RunCurl(server.Address()));
        std::printf("    round %d: window %.0f MB/s (%.1f s), curl %.0f MB/s\n", round + 1, ours.back() / 1e6,
                    run.totalSeconds, theirs.back() / 1e6);
    }
    const double a = Median(ours), b = Median(theirs);
    std::printf("    median: window %.0f MB/s, curl -o /dev/null %.0f MB/s, ratio %.0f%%\n", a / 1e6, b / 1e6,
                b > 0 ? 100 * a / b : 0);
    PrintTicks(gaps);

    std::printf("brisko-cli data-test against curl on the same stream, 3 rounds, median\n");
    QTemporaryDir data;
    const std::string cli = BRISKO_BIN_DIR "/brisko-cli";
    const std::vector<std::string> env = {"BRISKO_TEST_SERVER=" + server.Address().toStdString(),
                                          "XDG_DATA_HOME=" + data.path().toStdString()};
    const std::string url = "http://" + server.Address().toStdString() + "/5MB.zip";
    std::vector<double> cliSpeeds, curlSpeeds, cliCpu, curlCpu;
    for (int round = 0; round < 3; ++round) {
        const ChildRun ours = RunChild({cli, "data-test", "--json"}, env);
        const ChildRun theirs = RunChild({"curl", "-s", "-o", "/dev/null", "-w", "%{speed_download}", url}, {});
        if (!ours.ok || !theirs.ok) {
            std::printf("    round %d failed: brisko-cli %s, curl %s\n", round + 1, ours.ok ? "ok" : "failed",
                        theirs.ok ? "ok" : "failed");
            return;
        }
        cliSpeeds.push_back(JsonNumber(ours.out, "average_kb_s") * 1024);
        curlSpeeds.push_back(std::strtod(theirs.out.c_str(), nullptr));
        cliCpu.push_back(ours.cpuSeconds);
        curlCpu.push_back(theirs.cpuSeconds);
        std::printf("    round %d: brisko-cli %.0f MB/s, %.2f CPU s; curl %.0f MB/s, %.2f CPU s\n", round + 1,
                    cliSpeeds.back() / 1e6, cliCpu.back(), curlSpeeds.back() / 1e6, curlCpu.back());
    }
    const double c = Median(cliSpeeds), d = Median(curlSpeeds);
    std::printf("    median: brisko-cli %.0f MB/s, curl %.0f MB/s, ratio %.0f%%; CPU s brisko-cli %.2f, curl %.2f\n",
                c / 1e6, d / 1e6, d > 0 ? 100 * c / d : 0, Median(cliCpu), Median(curlCpu));

    std::printf("Tick rhythm: a 1 TiB file at full speed, stopped after 10 s\n");
    TestServerProcess endless({"--stream", "1024G", "--quiet"});
    const Run run = RunWindow(endless.Address(), 0, 10000);
    std::printf("    average shown: %.0f MB/s\n", run.averageKBs * 1024 / 1e6);
    PrintTicks(run.tickGaps);
}

void Accuracy() {
    std::printf("Accuracy: paced servers, average on the results panel vs the true rate\n");
    struct Pace {
        const char* rate;
        double bytesPerSecond;
        const char* stream;
    };
    const Pace paces[] = {{"2M", 2097152.0, "10M"}, {"50M", 52428800.0, "256M"}};
    for (const Pace& p : paces) {
        TestServerProcess server({"--rate", p.rate, "--stream", p.stream, "--quiet"});
        const Run run = RunWindow(server.Address(), 120000);
        if (!run.finished) {
            std::printf("    %s/s: failed: %s\n", p.rate, run.problem.c_str());
            continue;
        }
        const double trueKBs = p.bytesPerSecond / 1024;
        std::printf("    paced at %.0f KB/s (%s of %s): reported %.0f KB/s over %.1f s, error %+.2f%%\n", trueKBs,
                    p.rate, p.stream, run.averageKBs, run.totalSeconds, 100 * (run.averageKBs - trueKBs) / trueKBs);
        PrintTicks(run.tickGaps);
    }
}

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void Memory(const char* self) {
    std::printf("Memory: resident size while downloading, per file size (full loopback speed)\n");
    for (const char* size : {"64M", "1G", "4G"}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(self, {"--child", size});
        child.waitForFinished(900000);
        std::printf("    %4s: %s\n", size, child.readAllStandardOutput().trimmed().constData());
    }
}

int Child(const QString& size) {
    TestServerProcess server({"--stream", size, "--quiet"});
    const Run run = RunWindow(server.Address(), 900000);
    std::printf("resident %ld KB before, at most %ld KB during the download (%+ld KB); process peak %ld KB; %s\n",
                run.residentBeforeKB, run.residentPeakKB, run.residentPeakKB - run.residentBeforeKB, PeakKilobytes(),
                run.finished ? "finished" : run.problem.c_str());
    return run.finished ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args[0] == "--child") return Child(args[1]);
    const QString only = args.value(0);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // A machine of its own, so that the factory provisions nothing of the user's.
    QTemporaryDir machine;
    qputenv("BRISKO_SYSTEM_ROOT", machine.path().toUtf8());
    const brisko::SystemServices system = brisko::CreateSystemServices();
    const brisko::DesktopServices desktop = brisko::CreateDesktopServices();
    g_system = &system;
    g_desktop = &desktop;
    if (only.isEmpty() || only == "throughput") Throughput();
    if (only.isEmpty() || only == "accuracy") Accuracy();
    if (only.isEmpty() || only == "memory") Memory(argv[0]);
    return 0;
}
