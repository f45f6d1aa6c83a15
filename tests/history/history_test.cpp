// SPDX-License-Identifier: GPL-3.0-or-later
// The history file on real files (torn lines, two programs appending at once), its
// records as JSON and CSV, and the summary across the latest boost.
#include <gtest/gtest.h>
#include "history/history_export.h"
#include "history/history_file.h"
#include "history/history_summary.h"
#include "tests/support/temp_folder.h"

namespace brisko::test {
namespace {

HistoryRecord Data(std::int64_t average) {
    return {0, "brisko", DataTestRecord{"h/4MB.bin", 4 << 20, 4, average, 0, 0, {}}};
}
HistoryRecord Web(const std::string& address, double seconds) {
    return {0, "brisko", WebTestRecord{"ie", address, seconds}};
}
HistoryRecord Boost(const char* mode) {
    return {0, "brisko", BoostRecord{mode, {"web.reg"}, {}, {"PatchControlPrefs"}, {}}};
}

TEST(HistoryFile, ATornLastLineIsLeftOutAndTheNextRecordStartsALineOfItsOwn) {
    TempFolder folder;
    HistoryFile history(folder.path(), "brisko");
    ASSERT_TRUE(history.Append(Data(1190)).ok());
    WriteFileBytes(history.Location(), ReadFileBytes(history.Location()) + "{\"time\":\"2024-05-01T10:0");
    HistoryRead read = history.Read();
    EXPECT_EQ(read.records.size(), 1u);
    EXPECT_EQ(read.skipped, 1u);

    ASSERT_TRUE(history.Append(Web("x", 1)).ok());
    read = history.Read();
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.skipped, 1u);
    EXPECT_EQ(read.records[1].from, "brisko");
    EXPECT_TRUE(read.records[1].Web());
}

TEST(HistoryRecords, EveryKindReadsBackAsWrittenAndOddBytesStayValid) {
    const HistoryRecord written[] = {
        {1714557600, "brisko", DataTestRecord{"h/4MB.bin", 4194304, 3.5, 1170, 1300, 900, {1200, 1300, 900}}},
        {1714557601, "brisko-cli", WebTestRecord{"mozilla", "http://h/\xE9t\xE9", 0.453125}},
        {1714557602, "brisko",
         BoostRecord{"pro-boost", {"web-game.reg"}, {"tcp-game.reg"}, {"PatchControlPrefs"}, "gone", {"web-game.reg"}}},
        {1714557603, "brisko", QualityRecord{"127.0.0.1:8080", 8, 10, 0.25, 0.03125, 180.5, 2.75, 38.5, 30, {}, {},
                                             "upload: the server answered 404 Not Found"}},
    };
    for (const HistoryRecord& record : written) {
        const std::string line = ToJsonLine(record);
        const std::optional<HistoryRecord> read = FromJsonLine(line);
        ASSERT_TRUE(read) << line;
        EXPECT_EQ(ToJsonLine(*read), line);  // every field, the times and the odd bytes too
    }
    // Not records: unknown kinds, bad times, figures no record holds, nesting no record has.
    const std::string data = "{\"time\":\"2024-05-01T10:00:00Z\",\"kind\":\"data-test\",";
    for (const std::string& line : {std::string(), std::string("{}"), std::string("[1]"),
                                   std::string("{\"time\":\"2024-05-01T10:00:00Z\",\"kind\":\"tune-up\"}"),
                                   std::string("{\"time\":\"yesterday\",\"kind\":\"web-test\"}"),
                                   data + "\"bytes\":1e30}", data + "\"bytes\":-1}", data + "\"bytes\":2.5}",
                                   data + "\"average_kb_s\":18446744073709551615}", data + "\"seconds\":-1}",
                                   data + "\"speeds_kb_s\":[1,1e300]}", data + "\"url\":[[[[[[1]]]]]]}",
                                   std::string(10000, '[')})
        EXPECT_FALSE(FromJsonLine(line)) << line.substr(0, 80);
    EXPECT_TRUE(FromJsonLine(data + "\"bytes\":5242880.0,\"url\":\"[[[[[[\"}"));
    // A quality figure not measured is left out, never 0, and reads back empty, as null does.
    const std::string quality = ToJsonLine(written[3]);
    EXPECT_EQ(quality.find("upload_mbit"), std::string::npos) << quality;
    EXPECT_FALSE(FromJsonLine(quality)->Quality()->uploadMbit);
    EXPECT_EQ(FromJsonLine(quality)->Quality()->downloadSingleMbit, 30);
    const std::string run = "{\"time\":\"2024-05-01T10:00:00Z\",\"kind\":\"quality\",";
    EXPECT_FALSE(FromJsonLine(run + "\"rpm\":null,\"jitter_ms\":null}")->Quality()->responsivenessRpm);
    for (const std::string& bad : {run + "\"rpm\":\"fast\"}", run + "\"idle_latency_ms\":-1}",
                                   run + "\"download_mbit\":1e300}", run + "\"streams\":1000000000}",
                                   run + "\"streams\":-2}", run + "\"phase_seconds\":[10]}"})
        EXPECT_FALSE(FromJsonLine(bad)) << bad;
    // What a record keeps is bounded, whatever it was given.
    const std::string kept = ToJsonLine({0, "brisko", WebTestRecord{"ie", std::string(100000, 'a'), 1}});
    EXPECT_EQ(FromJsonLine(kept)->Web()->address.size(), kMaxAddressBytes);
    const std::string long100k(100000, 'a');
    const HistoryRecord huge{0, "brisko", QualityRecord{long100k, 8, 10, {}, {}, {}, {}, {}, {}, {}, {}, long100k}};
    const std::optional<HistoryRecord> cut = FromJsonLine(ToJsonLine(huge));
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->Quality()->server.size(), kMaxAddressBytes);
    EXPECT_EQ(cut->Quality()->failure.size(), kMaxFailureBytes);
    // And what the window lays out of an address is short, cut between characters.
    std::string e100;
    for (int i = 0; i < 100; ++i) e100 += "\xC3\xA9";
    EXPECT_EQ(ShownAddress("https://" + e100), e100.substr(0, 40) + "\xE2\x80\xA6" + e100.substr(0, 16));

    EXPECT_EQ(HistoryCsv({written[2], {0, "brisko", WebTestRecord{"ie", "http://h/a,\"b\"", 2.5}}, written[3]}),
              "time,kind,from,address,engine,seconds,bytes,average_kb_s,max_kb_s,min_kb_s,speeds_kb_s,imported,"
              "not_imported,patched,failure,streams,phase_seconds,idle_latency_ms,jitter_ms,download_single_mbit,"
              "download_mbit,upload_single_mbit,upload_mbit,loaded_latency_ms,rpm,average_mbit_s,max_mbit_s,"
              "min_mbit_s,speeds_mbit_s,download_single_kb_s,download_kb_s,upload_single_kb_s,upload_kb_s,not_landed\r\n"
              "2024-05-01T10:00:02Z,pro-boost,brisko,,,,,,,,,web-game.reg,tcp-game.reg,PatchControlPrefs,gone,,,,,,,,,,"
              ",,,,,,,,,web-game.reg\r\n"
              "1970-01-01T00:00:00Z,web-test,brisko,\"http://h/a,\"\"b\"\"\",ie,2.5,,,,,,,,,,,,,,,,,,,,,,,,,,,,\r\n"
              "2024-05-01T10:00:03Z,quality,brisko,127.0.0.1:8080,,,,,,,,,,,upload: the server answered 404 Not Found,"
              "8,10,0.25,0.03,30,38.5,,,180.5,2.75,,,,,3662,4700,,,\r\n");
    // The table's words leave out what the run did not reach and say why it ended.
    EXPECT_EQ(RecordText(written[3], ","),
              "download 38,5 Mbit/s (one stream 30), 0,25 ms idle (jitter 0,03), 180,5 ms loaded, 3 RPM "
              "(127.0.0.1:8080); incomplete: upload: the server answered 404 Not Found");
}

// Every result since the latest boost (up to a restore) against every one of the same
// test before it (back to the boost before that), judged only with enough of them.
TEST(HistorySummary, JudgesEveryResultOfATestAcrossTheLatestBoost) {
    const auto data = [](std::initializer_list<std::int64_t> averages, const char* url = "h/4MB.bin") {
        std::vector<HistoryRecord> records;
        for (std::int64_t average : averages)
            records.push_back({0, "brisko", DataTestRecord{url, 4 << 20, 4, average, 0, 0, {}}});
        return records;
    };
    const auto web = [](std::initializer_list<double> seconds, const char* engine = "ie") {
        std::vector<HistoryRecord> records;
        for (double s : seconds) records.push_back({0, "brisko", WebTestRecord{engine, "http://a/p", s}});
        return records;
    };
    const auto join = [](std::initializer_list<std::vector<HistoryRecord>> parts) {
        std::vector<HistoryRecord> records;
        for (const auto& part : parts) records.insert(records.end(), part.begin(), part.end());
        return records;
    };
    const std::vector<HistoryRecord> boost{Boost("boost")}, pro{Boost("pro-boost")}, restore{Boost("restore")};
    // Commands that stopped before changing anything, or whose imports never landed.
    const std::vector<HistoryRecord> noRegedit{{0, "brisko", BoostRecord{"boost", {}, {"web.reg"}, {}, "no regedit"}}},
        notLanded{{0, "brisko", BoostRecord{"restore", {"restore.reg"}, {}, {}, {}, {"restore.reg"}}}};
    const struct {
        const char* what;
        std::vector<HistoryRecord> records;
        std::string summary;
        const char* separator = ".";
    } cases[] = {
        {"doubled", join({data({2040, 2046, 2047, 2045}), boost, data({4090, 4083, 4095, 4080})}),
         "Average download 2046 -> 4087 KB/s (+99.8%, 95% CI +99.3% to +100.7%, faster: 4 tests each side)"},
        {"unchanged", join({data({2040, 2046, 2047, 2045}), boost, data({2047, 2044, 2046, 2041})}),
         "Average download 2046 -> 2045 KB/s (0%, 95% CI -0.29% to +0.34%, no measurable change: 4 tests each side)"},
        {"three each side", join({data({2040, 2046, 2047}), boost, data({4090, 4085, 4095})}),
         "Average download 2046 -> 4090 KB/s (+99.9%, 2 more tests after the boost would let Brisko judge: "
         "3 tests each side)"},
        {"the spans and the file",
         join({data({100}), boost, data({1000, 1010, 990}), data({7}, "other"), pro,
               data({1500, 1490, 1510, 1505, 1495}), restore, data({9999})}),
         "Average download 1000 -> 1500 KB/s (+50%, 95% CI +47.5% to +52.5%, faster: 3 tests before, 5 after)"},
        {"a page in each engine",
         join({web({1, 1.1, 0.9}), web({1.05}, "mozilla"), boost, web({0.5, 0.55, 0.45, 0.52, 0.48}),
               web({1, 1.2, 1.1}, "mozilla")}),
         "a/p (ie) 1 -> 0.5 s (-50%, 95% CI -59.1% to -38.9%, faster: 3 tests before, 5 after); a/p (mozilla) 1.05 -> "
         "1.1 s (+4.8%, 2 more tests before the boost and 2 more after it would let Brisko judge: 1 test before, 3 "
         "after)"},
        {"the user's separator", join({web({2.5, 2.25, 2.75}), boost, web({3.25, 3.5, 3.125, 3.3, 3.2})}),
         "a/p 2,5 -> 3,25 s (+30%, 95% CI +13,6% to +55,6%, slower: 3 tests before, 5 after)", ","},
        {"a restore ends what the boost did", join({data({1000}), boost, restore, data({500})}),
         "Nothing to compare across the latest boost yet: run the same test before and after a boost."},
        {"no boost", join({data({1000}), restore, data({500})}),
         "No boost yet: run a test, apply a boost, restart and run the test again to see the change."},
        {"a boost that changed nothing is none", join({data({1000, 1010, 990}), noRegedit, data({1500, 1490, 1510})}),
         "No boost yet: run a test, apply a boost, restart and run the test again to see the change."},
        {"nor does it end the boost before it",
         join({data({1000, 1010, 990}), boost, data({1500, 1490}), noRegedit, notLanded, data({1510, 1505, 1495})}),
         "Average download 1000 -> 1500 KB/s (+50%, 95% CI +47.5% to +52.5%, faster: 3 tests before, 5 after)"},
    };
    for (const auto& c : cases) EXPECT_EQ(BoostSummary(c.records, c.separator), c.summary) << c.what;
    EXPECT_EQ(RecordText(noRegedit[0], "."),
              "failed, nothing changed: 0 imports, 1 not started, no preferences changed; stopped: no regedit");
    EXPECT_EQ(RecordText(notLanded[0], "."),
              "failed, nothing changed: 1 import, 1 not in the registry afterwards, no preferences changed");
    EXPECT_EQ(RecordText(boost[0], "."), "1 import, PatchControlPrefs");

    // The status line counts the load just timed, in its own engine only.
    const std::vector<HistoryRecord> timed = join({web({1, 1.2}), web({0.1}, "mozilla"), boost});
    EXPECT_EQ(LoadComparison(timed, "ie", "http://a/p", 0.8, "."),
              "This page across the latest boost: 1.1 -> 0.8 s (-27.3%, 1 more test before the boost and 4 more after "
              "it would let Brisko judge: 2 tests before, 1 after).");
    EXPECT_EQ(LoadComparison(join({timed, restore}), "ie", "http://a/p", 0.8, "."),
              "A restore has undone the latest boost: apply a boost, then time this page again to see the change.");
}


// The quality figures are judged by the same rule, each in its own direction; a failed
// run is listed but counts in no verdict, and a page load never crosses engines.
TEST(HistorySummary, QualityFiguresAreJudgedWithoutFailedRunsAndPagesStayInTheirEngine) {
    const auto run = [](double down, double up, double loaded, double rpm, std::string failure = {}) {
        return HistoryRecord{0, "brisko", QualityRecord{"h:8080", 8, 10, 5, 0.5, loaded, rpm, down, down / 2, up,
                                                        up / 2, std::move(failure)}};
    };
    std::vector<HistoryRecord> records;
    for (double d : {40.0, 41.0, 39.5, 40.5}) records.push_back(run(d, 10, 200 + d, 300));
    // Before the boost a broken run measured next to nothing: counted, it would make the
    // boost look like a leap.
    records.push_back(run(0.5, 0.1, 5000, 12, "upload: the server answered 404 Not Found"));
    records.push_back(Boost("boost"));
    for (double d : {80.0, 79.0, 81.0, 80.5}) records.push_back(run(d, 10.0 + d / 1000, 100 + d / 10, 300));
    records.push_back(run(500, 100, 1, 99999, "stopped"));

    const std::vector<BoostFigure> figures = FiguresAcrossLatestBoost(records);
    ASSERT_EQ(figures.size(), 4u);
    const std::string expected[] = {
        "Quality download 40.25 -> 80.25 Mbit/s (+99.4%, 95% CI +92.7% to +105.1%, faster: 4 tests each side)",
        "Quality upload 10 -> 10.08 Mbit/s (+0.8%, 95% CI +0.79% to +0.81%, faster: 4 tests each side)",
        "Loaded latency 240.25 -> 108.03 ms (-55%, 95% CI -55.2% to -54.9%, faster: 4 tests each side)",
        "Responsiveness 300 -> 300 RPM (0%, 95% CI 0% to 0%, no measurable change: 4 tests each side)",
    };
    for (std::size_t i = 0; i < figures.size(); ++i) {
        EXPECT_EQ(figures[i].verdict.before, 4u) << i;
        EXPECT_EQ(figures[i].label + " " + FigureChange(figures[i], "."), expected[i]);
    }
    EXPECT_EQ(figures[2].kind, FigureKind::LoadedLatency);
    // Lower latency is the better side; a rise is slower.
    std::vector<HistoryRecord> worse(records.begin(), records.begin() + 6);
    for (double d : {300.0, 310.0, 305.0, 299.0}) worse.push_back(run(40, 10, d, 300));
    EXPECT_EQ(FiguresAcrossLatestBoost(worse)[2].verdict.finding, BoostVerdict::Finding::Slower);

    // Loads timed in one engine before the boost and in the other after it: nothing to set
    // side by side, however many.
    std::vector<HistoryRecord> pages;
    for (int i = 0; i < 4; ++i) pages.push_back({0, "brisko", WebTestRecord{"mozilla", "http://a/p", 0.1}});
    pages.push_back(Boost("boost"));
    for (int i = 0; i < 4; ++i) pages.push_back({0, "brisko", WebTestRecord{"ie", "http://a/p", 2}});
    EXPECT_TRUE(FiguresAcrossLatestBoost(pages).empty());
    EXPECT_EQ(BoostSummary(pages, "."),
              "Nothing to compare across the latest boost yet: run the same test before and after a boost.");
    EXPECT_EQ(LoadComparison(pages, "ie", "http://a/p", 2, "."),
              "This page was not timed in this window before the latest boost: there is nothing to compare with.");
}

}  // namespace
}  // namespace brisko::test
