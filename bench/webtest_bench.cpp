// SPDX-License-Identifier: GPL-3.0-or-later
// Times page loads in both engines against brisko-testserver's page with known delays and
// prints, per load: the time Brisko reports, the engine's own navigation timing for the
// same load (loadEventEnd - navigationStart), and the CPU time Brisko used while it waited.
// Usage: brisko-bench-webtest [images] [delay-ms] [runs]   (defaults 6 1000 3)
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "platform/qt/browser_engine_qt.h"
#include "platform/services.h"
#include "tests/support/qt/test_server.h"
#include "webtest/timed_load.h"

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The page's own timing of its last load, in seconds (-1 when it cannot be read).
double NavigationTiming(QWebEnginePage* page, brisko::EventWaiter& waiter) {
    double result = -2;
    page->runJavaScript("performance.timing.loadEventEnd - performance.timing.navigationStart",
                        [&](const QVariant& v) {
                            result = v.isValid() ? v.toDouble() / 1000.0 : -1;
                            waiter.Wake();
                        });
    while (result == -2) waiter.WaitForWake(100);
    return result;
}

struct Totals {
    double worstGapMs = 0;
    double cpu = 0;
    double waited = 0;
};

void Bench(const char* name, const brisko::Clock& clock, brisko::EventWaiter& waiter, brisko::BrowserEngine& engine,
           QWebEnginePage* (*page)(brisko::BrowserEngine&), const std::function<brisko::Status()>& warmUp,
           const std::function<brisko::Status()>& load, int runs) {
    brisko::TimedLoad timed(clock, waiter);
    brisko::BrowserEngineEvents events;
    events.statusTextChange = [&](const std::string&) { timed.EngineEvent(); };
    events.downloadComplete = [&] { timed.EngineEvent(); };
    events.navigateComplete2 = [&](const std::string&) { timed.EngineEvent(); };
    engine.SetEvents(events);
    timed.Run(engine, {}, warmUp);  // starts the renderer; not counted

    Totals totals;
    for (int run = 1; run <= runs; ++run) {
        const double cpu0 = CpuSeconds();
        const brisko::TimedLoadResult result = timed.Run(engine, {}, load);
        const double cpu = CpuSeconds() - cpu0;
        if (result.outcome != brisko::TimedLoadResult::Outcome::Completed) {
            std::printf("%-9s run %d: the load did not complete (%s)\n", name, run, result.error.text.c_str());
            continue;
        }
        const double own = NavigationTiming(page(engine), waiter);
        const double gapMs = (result.seconds - own) * 1000.0;
        totals.worstGapMs = std::max(totals.worstGapMs, std::abs(gapMs));
        totals.cpu += cpu;
        totals.waited += result.seconds;
        std::printf("%-9s run %d: reported %.6f s   engine %.3f s   difference %+6.1f ms   CPU %.3f s (%.1f%% of a core)\n",
                    name, run, result.seconds, own, gapMs, cpu, 100.0 * cpu / result.seconds);
    }
    std::printf("%-9s worst difference %.1f ms; CPU while waiting %.3f s over %.3f s = %.1f%% of a core\n\n", name,
                totals.worstGapMs, totals.cpu, totals.waited, totals.waited > 0 ? 100.0 * totals.cpu / totals.waited : 0);
}

QWebEnginePage* PageOf(brisko::BrowserEngine& engine) {
    return dynamic_cast<brisko::QtEngineView&>(engine).Page();
}

}  // namespace

int main(int argc, char** argv) {
    brisko::PrepareDesktopProcess();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int images = argc > 1 ? std::atoi(argv[1]) : 6;
    const int delayMs = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 3;

    brisko::test::TestServerProcess server;
    if (!server.Started()) {
        std::fprintf(stderr, "brisko-testserver did not start: %s\n", qPrintable(server.Log()));
        return 1;
    }
    const std::string base = "http://" + server.Address().toStdString() + "/default.html";
    const std::string page = base + "?images=" + std::to_string(images) + "&delay=" + std::to_string(delayMs);
    const std::string warm = base + "?images=0&delay=0";
    std::printf("Page: %d images, each answered after %d ms (%s)\n\n", images, delayMs, page.c_str());

    QTemporaryDir storage;  // the engines' profiles and the machine: nothing of the user's
    qputenv("BRISKO_SYSTEM_ROOT", (storage.path() + "/system").toUtf8());
    const brisko::SystemServices system = brisko::CreateSystemServices();
    const brisko::DesktopServices desktop = brisko::CreateDesktopServices((storage.path() + "/WebBrowser1").toStdString());
    brisko::BrowserEngines& engines = *desktop.browserEngines;
    const brisko::Clock& clock = *system.clock;
    brisko::EventWaiter& waiter = *desktop.waiter;
    brisko::Status error;
    {
        std::unique_ptr<brisko::IeBrowserEngine> ie = engines.CreateIeEngine(&error);
        Bench("WebBrowser", clock, waiter, *ie, PageOf, [&] { return ie->Navigate(warm, 0); },
              [&] { return ie->Navigate(page, brisko::kNavNoHistory | brisko::kNavNoReadFromCache | brisko::kNavNoWriteToCache); },
              runs);
        std::unique_ptr<brisko::MozillaBrowserEngine> mozilla =
            engines.CreateMozillaEngine((storage.path() + "/control/x.slt").toStdString(), &error);
        // Warm up on the page itself, then time complete reloads: they fetch every part again.
        Bench("Mozilla", clock, waiter, *mozilla, PageOf, [&] { return mozilla->Navigate(page); },
              [&] { return mozilla->Refresh2(brisko::kRefreshCompletely); }, runs);
    }
    return 0;
}
