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
         BoostRecord{"pro-boost", {"web-game.reg"}, {"tcp-game.reg"}, {"PatchControlPrefs"}, "gone"}},
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
    // What a record keeps is bounded, whatever it was given.
    const std::string kept = ToJsonLine({0, "brisko", WebTestRecord{"ie", std::string(100000, 'a'), 1}});
    EXPECT_EQ(FromJsonLine(kept)->Web()->address.size(), kMaxAddressBytes);
    // And what the window lays out of an address is short, cut between characters.
    std::string e100;
    for (int i = 0; i < 100; ++i) e100 += "\xC3\xA9";
    EXPECT_EQ(ShownAddress("https://" + e100), e100.substr(0, 40) + "\xE2\x80\xA6" + e100.substr(0, 16));

    EXPECT_EQ(HistoryCsv({written[2], {0, "brisko", WebTestRecord{"ie", "http://h/a,\"b\"", 2.5}}}),
              "time,kind,from,address,engine,seconds,bytes,average_kb_s,max_kb_s,min_kb_s,speeds_kb_s,imported,"
              "not_imported,patched,failure\r\n"
              "2024-05-01T10:00:02Z,pro-boost,brisko,,,,,,,,,web-game.reg,tcp-game.reg,PatchControlPrefs,gone\r\n"
              "1970-01-01T00:00:00Z,web-test,brisko,\"http://h/a,\"\"b\"\"\",ie,2.5,,,,,,,,,\r\n");
}

// The last result before the latest boost against the first after it, up to a restore.
TEST(HistorySummary, SetsTheLastResultBeforeTheLatestBoostAgainstTheFirstAfterIt) {
    const struct {
        const char* what;
        std::vector<HistoryRecord> records;
        std::string summary;
        const char* separator = ".";
    } cases[] = {
        {"data and a page",
         {Data(900), Data(1190), Web("http://www.example.com", 0.81), Boost("boost"), Data(1651), Data(1000),
          Web("http://www.example.com", 0.62), Web("http://www.example.com", 0.7), Web("other", 1)},
         "Average download 1190 -> 1651 KB/s (+38.7%); www.example.com 0.81 -> 0.62 s (-23.5%)"},
        {"the latest boost counts",
         {Data(1000), Boost("boost"), Data(1500), Boost("pro-boost"), Data(3000)},
         "Average download 1500 -> 3000 KB/s (+100%)"},
        {"a restore ends what the boost did",
         {Data(1000), Boost("boost"), Boost("restore"), Data(500)},
         "Nothing to compare across the latest boost yet: run the same test before and after a boost."},
        {"no boost",
         {Data(1000), Boost("restore"), Data(500)},
         "No boost yet: run a test, apply a boost, restart and run the test again to see the change."},
        {"the user's separator", {Web("a", 2.5), Boost("boost"), Web("a", 1.25)}, "a 2,5 -> 1,25 s (-50%)", ","},
    };
    for (const auto& c : cases) EXPECT_EQ(BoostSummary(c.records, c.separator), c.summary) << c.what;

    EXPECT_EQ(LoadComparison({Web("a", 1), Boost("boost")}, "b", 0.8, "."),
              "This page was not timed before the latest boost: there is nothing to compare with.");
}

}  // namespace
}  // namespace brisko::test
