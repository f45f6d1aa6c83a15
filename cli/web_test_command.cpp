// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/web_test_command.h"

#include <algorithm>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "cli/cli_arguments.h"
#include "webtest/web_test_rules.h"
#include "webtest/web_test_texts.h"

namespace brisko::cli {

namespace {

// A load time as the window shows it, read back as the number it shows.
double Shown(float seconds) { return std::strtod(FormatSingle(seconds, ".").c_str(), nullptr); }

std::string Seconds(double value, const std::string& decimalPoint) {
    return FormatSingle(static_cast<float>(value), decimalPoint) + " seconds";
}

}  // namespace

bool WaitForFirstPage(TimedLoad& wait, const BrowserEngine& engine) {
    return wait.WaitUntil([&engine] { return engine.ReadyState() == kReadyStateComplete && !engine.Busy(); });
}

LoadSpread Summarize(std::vector<double> seconds) {
    std::sort(seconds.begin(), seconds.end());
    const std::size_t n = seconds.size();
    LoadSpread s;
    s.median = n % 2 ? seconds[n / 2] : (seconds[n / 2 - 1] + seconds[n / 2]) / 2;
    s.fastest = seconds.front();
    s.slowest = seconds.back();
    return s;
}

int RunWebTests(const WebTestBase& test, const std::function<void()>& press, const RecordedMessages& messages,
                const WebTestRequest& request, std::ostream& out, std::ostream& err) {
    std::ostream& said = request.json ? err : out;
    std::vector<double> seconds;
    for (int run = 0; run < request.runs; ++run) {
        const std::size_t before = messages.texts.size();
        press();
        const std::string first = messages.texts.size() > before ? messages.texts[before] : std::string();
        const TimedLoadResult& load = test.LastLoad();
        switch (load.outcome) {
            case TimedLoadResult::Outcome::Completed:
                said << first << '\n' << std::flush;
                seconds.push_back(Shown(load.seconds));
                continue;
            case TimedLoadResult::Outcome::Failed:
                err << first << '\n';
                break;
            case TimedLoadResult::Outcome::Cancelled:
                err << webtext::kConnectionErrorPrefix << "The page had not finished loading after "
                    << kLoadLimitSeconds << " seconds.\n";
                break;
            case TimedLoadResult::Outcome::Refused:
                err << kProgramName << " web-test: the page load could not start.\n";
                break;
        }
        return kExitFailed;
    }
    const LoadSpread spread = Summarize(seconds);
    if (request.json) {
        const nlohmann::ordered_json json = {{"address", request.address},
                                             {"engine", request.engine},
                                             {"seconds", seconds},
                                             {"median", Shown(static_cast<float>(spread.median))},
                                             {"spread", Shown(static_cast<float>(spread.Spread()))}};
        out << json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    } else if (request.runs > 1) {
        out << "Median: " << Seconds(spread.median, request.decimalPoint) << '\n'
            << "Spread: " << Seconds(spread.Spread(), request.decimalPoint) << " (from "
            << FormatSingle(static_cast<float>(spread.fastest), request.decimalPoint) << " to "
            << Seconds(spread.slowest, request.decimalPoint) << ")\n";
    }
    return kExitOk;
}

}  // namespace brisko::cli
