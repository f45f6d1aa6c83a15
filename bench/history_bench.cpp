// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a history of 100,000 records (data tests with their tick speeds, page loads
// and a boost now and then) and prints how long reading it back and summing it up take.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "history/history_file.h"
#include "history/history_summary.h"
#include "platform/append_file.h"

int main(int argc, char** argv) {
    using namespace brisko;
    using Clock = std::chrono::steady_clock;
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    const std::string folder = (std::filesystem::temp_directory_path() / "brisko-history-bench").string();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    HistoryFile history(folder, "bench");

    // Built in one block: the bench measures reading, not 100,000 appends.
    std::string text;
    for (int i = 0; i < count; ++i) {
        HistoryRecord record{1700000000 + i * 60, "brisko", {}};
        if (i % 50 == 25)
            record.what = BoostRecord{"boost",
                                      {"web.reg", "tcp.reg", "zero1.reg", "dns1.reg", "service.reg", "lanman.reg"},
                                      {},
                                      {"PatchControlPrefs", "PatchFirefoxPrefs"},
                                      {}};
        else if (i % 2)
            record.what =
                WebTestRecord{"ie", "http://www.example.com/page" + std::to_string(i % 7) + ".html", 0.453125};
        else
            record.what = DataTestRecord{"files.example/4MB.bin",           4194304, 3.5, 1170, 1300, 900,
                                         std::vector<std::int64_t>(8, 1200)};
        text += ToJsonLine(record) + "\n";
    }
    if (!AppendBlock(history.Location(), text).ok()) {
        std::fprintf(stderr, "cannot write %s\n", history.Location().c_str());
        return 1;
    }

    const auto start = Clock::now();
    const HistoryRead read = history.Read();
    const auto loaded = Clock::now();
    const std::string summary = SummaryLine(read.records, ".");
    const auto summed = Clock::now();
    const auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
    std::printf("history of %zu records (%.1f MB): loaded in %.0f ms, summary in %.1f ms (%zu lines left out)\n",
                read.records.size(), text.size() / 1e6, ms(loaded - start), ms(summed - loaded), read.skipped);
    std::printf("%s\n", summary.c_str());
    std::filesystem::remove_all(folder);
    return 0;
}
