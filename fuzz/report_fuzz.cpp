// SPDX-License-Identifier: GPL-3.0-or-later
// Saved test reports: the reports the report writer appends to a file, with figures
// made the way the results panel makes them and comments, date and time as typed or
// given by the locale, read back as the same figures. Any bytes at all read as
// reports or as a clear problem, and compare without harm.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/report_compare.h"
#include "fuzz/fuzz_check.h"
#include "speedtest/number_format.h"
#include "speedtest/report.h"

namespace {

using namespace brisko;

// A line of text as one line holds it: no line ends.
std::string OneLine(FuzzedDataProvider& in, std::size_t max) {
    std::string text = in.ConsumeRandomLengthString(max);
    text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }),
               text.end());
    return text;
}

std::string Trimmed(std::string text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.back())) text.pop_back();
    std::size_t lead = 0;
    while (lead < text.size() && blank(text[lead])) ++lead;
    return text.substr(lead);
}

// A date or time as the locale writes one: never empty, no line ends, and never
// the " at, " that the report puts between them (nothing could tell them apart then).
std::string LocaleText(FuzzedDataProvider& in) {
    std::string text = OneLine(in, 40);
    for (std::size_t at; (at = text.find(" at,")) != std::string::npos;) text.erase(at, 4);
    return Trimmed(text).empty() ? "1/2/2024" : text;
}

std::string Show(const cli::SavedReport& r) {
    return "date " + fuzz::Escaped(r.date, 60) + ", time " + fuzz::Escaped(r.time, 60) + ", size " +
           fuzz::Escaped(r.fields.fileSize, 60) + ", time taken " + fuzz::Escaped(r.fields.totalTime, 60) +
           ", average " + fuzz::Escaped(r.fields.averageSpeed, 60) + ", max " +
           fuzz::Escaped(r.fields.maximumSpeed, 60) + ", min " + fuzz::Escaped(r.fields.minimumSpeed, 60) +
           ", comments " + fuzz::Escaped(r.fields.comments, 120);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string raw(reinterpret_cast<const char*>(data), size);
    const cli::ReportsRead any = cli::ReadReports(raw, "fuzz.txt");
    if (any.problem.empty() == any.reports.empty()) fuzz::Fail("reports and a problem, or neither");
    cli::CompareTable(any.reports, ",");

    FuzzedDataProvider in(data, size);
    const char* separators[] = {".", ",", "\xD9\xAB"};  // the last: Arabic decimal separator
    const std::string separator = separators[in.ConsumeIntegralInRange<int>(0, 2)];
    const int count = in.ConsumeIntegralInRange<int>(1, 3);
    std::string file;
    std::vector<cli::SavedReport> written;
    for (int i = 0; i < count; ++i) {
        // As the results panel fills its labels after a finished test.
        const std::int64_t totalBytes = in.ConsumeIntegral<std::int64_t>();
        const double elapsed = in.ConsumeFloatingPointInRange<double>(0, 1e7);
        const double tenths = Whole(elapsed * 10) / 10.0;
        cli::SavedReport r;
        r.fields.fileSize = FormatGeneral(WholeDiv(totalBytes, 1024)) + " KB";
        r.fields.totalTime = FormatGeneral(tenths, separator) + " seconds";
        r.fields.averageSpeed = FormatGeneral(in.ConsumeIntegral<std::int64_t>()) + " KB/s";
        r.fields.maximumSpeed = FormatGeneral(in.ConsumeIntegral<std::int64_t>()) + " KB/s";
        r.fields.minimumSpeed = FormatGeneral(in.ConsumeIntegral<std::int64_t>()) + " KB/s";
        r.fields.comments = OneLine(in, 300);
        r.date = LocaleText(in);
        r.time = LocaleText(in);
        file += BuildReport(r.fields, r.date, r.time);
        written.push_back(r);
    }

    const cli::ReportsRead read = cli::ReadReports(file, "reports.txt");
    if (!read.problem.empty()) fuzz::Fail("written reports do not read: " + read.problem + "\n" + fuzz::Escaped(file, 4000));
    if (read.reports.size() != written.size())
        fuzz::Fail(std::to_string(written.size()) + " reports written, " + std::to_string(read.reports.size()) + " read");
    for (std::size_t i = 0; i < written.size(); ++i) {
        cli::SavedReport want = written[i];
        // The reader drops the blanks around what follows each lead text.
        want.fields.comments = Trimmed(want.fields.comments);
        want.date = Trimmed(want.date);
        want.time = Trimmed(want.time);
        const cli::SavedReport& got = read.reports[i];
        if (got.date != want.date || got.time != want.time || got.fields.fileSize != want.fields.fileSize ||
            got.fields.totalTime != want.fields.totalTime || got.fields.averageSpeed != want.fields.averageSpeed ||
            got.fields.maximumSpeed != want.fields.maximumSpeed ||
            got.fields.minimumSpeed != want.fields.minimumSpeed || got.fields.comments != want.fields.comments) {
            fuzz::Fail("report " + std::to_string(i + 1) + " reads back differently\nwritten: " + Show(want) +
                       "\nread:    " + Show(got));
        }
    }
    cli::CompareTable(read.reports, separator);
    return 0;
}
