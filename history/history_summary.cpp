// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_summary.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "history/rank_statistics.h"

namespace brisko {

namespace {

std::string Decimal(double value, int decimals, const std::string& separator) {
    // to_chars, not printf: Qt sets the C library's locale, whose separator may be a comma.
    char text[400];
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    std::string s(text, written.ptr);
    const std::size_t point = s.find('.');
    if (point != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.')
            s.pop_back();
        else
            s.replace(point, 1, separator);
    }
    if (s == "-0") s = "0";
    return s;
}

std::string Signed(const std::string& number) { return number == "0" || number[0] == '-' ? number : "+" + number; }

// An interval's end to one decimal as the change, or to two significant digits near 0,
// so that it still shows on which side of 0 it lies: "+99.7%", "-5.1%", "+0.043%".
std::string BoundText(double percent, const std::string& separator) {
    if (percent == 0) return "0%";
    const int decimals = std::clamp(1 - static_cast<int>(std::floor(std::log10(std::fabs(percent)))), 1, 6);
    return Signed(Decimal(percent, decimals, separator)) + "%";
}

std::string Tests(std::size_t count) { return std::to_string(count) + (count == 1 ? " test" : " tests"); }

std::string CountsText(const BoostVerdict& v) {
    if (v.before == v.after) return Tests(v.before) + " each side";
    return Tests(v.before) + " before, " + std::to_string(v.after) + " after";
}

std::string More(std::size_t count) { return std::to_string(count) + (count == 1 ? " more test" : " more tests"); }

// A command that changed nothing leaves the results around it on one side.
bool EndsSpan(const HistoryRecord& record) { return record.Boost() && ChangedAnything(*record.Boost()); }

constexpr const char* kNoBoost =
    "No boost yet: run a test, apply a boost, restart and run the test again to see the change.";
constexpr const char* kNothingToCompare =
    "Nothing to compare across the latest boost yet: run the same test before and after a boost.";

}  // namespace

const char* FigureUnit(FigureKind kind) {
    switch (kind) {
        case FigureKind::Download: return "KB/s";
        case FigureKind::PageLoad: return "s";
        case FigureKind::QualityDownload:
        case FigureKind::QualityUpload: return "Mbit/s";
        case FigureKind::LoadedLatency: return "ms";
        case FigureKind::Responsiveness: return "RPM";
    }
    return "";
}

bool HigherIsBetter(FigureKind kind) { return kind != FigureKind::PageLoad && kind != FigureKind::LoadedLatency; }

const char* FigureTest(FigureKind kind) {
    return kind == FigureKind::Download ? "data-test" : kind == FigureKind::PageLoad ? "web-test" : "quality";
}

bool IsQualityFigure(FigureKind kind) { return FigureTest(kind) == std::string("quality"); }

std::optional<double> FigureValue(const BoostFigure& figure, const HistoryRecord& record) {
    if (const DataTestRecord* d = record.Data())
        if (figure.kind == FigureKind::Download && d->url == figure.test) return static_cast<double>(d->averageSpeed);
    // A page counts only in the engine it was timed in: a load from one engine's cache
    // says nothing about the other engine.
    if (const WebTestRecord* w = record.Web())
        if (figure.kind == FigureKind::PageLoad && w->address == figure.test && w->engine == figure.engine)
            return w->seconds;
    // A failed run's figures are those of a broken test, not of the link.
    if (const QualityRecord* q = record.Quality();
        q && q->failure.empty() && q->server == figure.test && q->streams == figure.streams) {
        switch (figure.kind) {
            case FigureKind::QualityDownload: return q->downloadMbit;
            case FigureKind::QualityUpload: return q->uploadMbit;
            case FigureKind::LoadedLatency: return q->loadedLatencyMs;
            case FigureKind::Responsiveness: return q->responsivenessRpm;
            default: break;
        }
    }
    return std::nullopt;
}

bool IsBoost(const HistoryRecord& record) {
    const BoostRecord* boost = record.Boost();
    return boost && boost->mode != "restore" && ChangedAnything(*boost);
}

std::optional<std::size_t> LatestBoost(const std::vector<HistoryRecord>& records) {
    for (std::size_t i = records.size(); i-- > 0;)
        if (IsBoost(records[i])) return i;
    return std::nullopt;
}

std::optional<BoostSpans> LatestBoostSpans(const std::vector<HistoryRecord>& records) {
    const std::optional<std::size_t> boost = LatestBoost(records);
    if (!boost) return std::nullopt;
    BoostSpans spans{*boost, *boost, *boost + 1};
    while (spans.beforeBegin > 0 && !EndsSpan(records[spans.beforeBegin - 1])) --spans.beforeBegin;
    while (spans.afterEnd < records.size() && !EndsSpan(records[spans.afterEnd])) ++spans.afterEnd;
    return spans;
}

BoostVerdict Judge(const std::vector<double>& before, const std::vector<double>& after, bool higherIsFaster) {
    BoostVerdict v;
    v.before = before.size();
    v.after = after.size();
    v.medianBefore = Median(before);
    v.medianAfter = Median(after);
    if (v.medianBefore != 0) v.changePercent = (v.medianAfter / v.medianBefore - 1) * 100;
    // Tests can only be added after the boost, so the before side is made up first.
    v.moreBefore = v.before < kFewestEachSide ? kFewestEachSide - v.before : 0;
    const std::size_t made = v.before + v.moreBefore + v.after;
    v.moreAfter = std::max({v.after < kFewestEachSide ? kFewestEachSide - v.after : 0,
                            made < kFewestInAll ? kFewestInAll - made : 0});
    if (v.moreBefore || v.moreAfter) return v;

    v.pValue = RankTestPValue(before, after);
    bool up = v.medianAfter > v.medianBefore, down = v.medianAfter < v.medianBefore;
    if (const std::optional<RatioInterval> ratio = RankRatioInterval(before, after)) {
        v.lowPercent = (ratio->low - 1) * 100;
        v.highPercent = (ratio->high - 1) * 100;
        // Only where the whole interval lies on one side, so the words never contradict it.
        up = ratio->low > 1;
        down = ratio->high < 1;
    }
    if (*v.pValue <= 0.05 + 1e-12 && (up || down))
        v.finding = up == higherIsFaster ? BoostVerdict::Finding::Faster : BoostVerdict::Finding::Slower;
    else
        v.finding = BoostVerdict::Finding::NoChange;
    return v;
}

std::string FindingText(BoostVerdict::Finding finding) {
    switch (finding) {
        case BoostVerdict::Finding::Faster: return "faster";
        case BoostVerdict::Finding::Slower: return "slower";
        case BoostVerdict::Finding::NoChange: return "no measurable change";
        case BoostVerdict::Finding::NotJudged: break;
    }
    return {};
}

std::string PercentText(double percent, const std::string& decimalSeparator) {
    return Signed(Decimal(std::round(percent * 10) / 10, 1, decimalSeparator)) + "%";
}

std::string ShortNumber(double value, const std::string& decimalSeparator) {
    return Decimal(value, 2, decimalSeparator);
}

std::string ShownAddress(const std::string& address) {
    std::string shown = address;
    for (const std::string scheme : {"http://", "https://"})
        if (shown.size() > scheme.size() && shown.compare(0, scheme.size(), scheme) == 0) {
            shown.erase(0, scheme.size());
            break;
        }
    // A legend or a summary can lay out so much: a long address keeps its start and end,
    // cut between characters, never inside one.
    constexpr std::size_t kLongest = 60, kEnd = 17;
    if (shown.size() <= kLongest) return shown;
    const auto continuation = [&](std::size_t i) { return (static_cast<unsigned char>(shown[i]) & 0xC0) == 0x80; };
    std::size_t head = kLongest - kEnd - 3, tail = shown.size() - kEnd;
    while (head > 0 && continuation(head)) --head;
    while (tail < shown.size() && continuation(tail)) ++tail;
    return shown.substr(0, head) + "\xE2\x80\xA6" + shown.substr(tail);
}

std::string FigureChange(const BoostFigure& figure, const std::string& decimalSeparator) {
    const BoostVerdict& v = figure.verdict;
    const bool whole = figure.kind == FigureKind::Download || figure.kind == FigureKind::Responsiveness;
    const auto shown = [&](double value) {
        // A median of an even count may end in .5: rounded up, as one would by hand.
        return whole ? Decimal(std::round(value), 0, decimalSeparator) : ShortNumber(value, decimalSeparator);
    };
    std::string text =
        shown(v.medianBefore) + " -> " + shown(v.medianAfter) + " " + FigureUnit(figure.kind);
    std::vector<std::string> parts;
    if (v.changePercent) parts.push_back(PercentText(*v.changePercent, decimalSeparator));
    if (v.lowPercent)
        parts.push_back("95% CI " + BoundText(*v.lowPercent, decimalSeparator) + " to " +
                        BoundText(*v.highPercent, decimalSeparator));
    if (v.finding != BoostVerdict::Finding::NotJudged) {
        parts.push_back(FindingText(v.finding));
    } else {
        std::string need =
            v.moreBefore ? More(v.moreBefore) + " before the boost" : More(v.moreAfter) + " after the boost";
        if (v.moreBefore && v.moreAfter) need += " and " + std::to_string(v.moreAfter) + " more after it";
        parts.push_back(need + " would let Brisko judge");
    }
    std::string inner;
    for (const std::string& part : parts) inner += (inner.empty() ? "" : ", ") + part;
    return text + " (" + inner + ": " + CountsText(v) + ")";
}

namespace {

struct Samples {
    std::vector<double> before, after;
};

// The figure's results on each side, and their times into figure.
Samples Collect(const std::vector<HistoryRecord>& records, const BoostSpans& spans, BoostFigure& figure) {
    Samples samples;
    for (std::size_t i = spans.beforeBegin; i < spans.afterEnd; ++i) {
        if (i == spans.boost) continue;
        const std::optional<double> value = FigureValue(figure, records[i]);
        if (!value) continue;
        const bool before = i < spans.boost;
        std::vector<double>& side = before ? samples.before : samples.after;
        if (side.empty()) (before ? figure.beforeFrom : figure.afterFrom) = records[i].time;
        (before ? figure.beforeTo : figure.afterTo) = records[i].time;
        side.push_back(*value);
    }
    return samples;
}

constexpr FigureKind kQualityKinds[] = {FigureKind::QualityDownload, FigureKind::QualityUpload,
                                        FigureKind::LoadedLatency, FigureKind::Responsiveness};

const char* QualityLabel(FigureKind kind) {
    switch (kind) {
        case FigureKind::QualityDownload: return "Quality download";
        case FigureKind::QualityUpload: return "Quality upload";
        case FigureKind::LoadedLatency: return "Loaded latency";
        default: return "Responsiveness";
    }
}

bool SameTest(const BoostFigure& f, const BoostFigure& g) {
    return f.kind == g.kind && f.test == g.test && f.engine == g.engine && f.streams == g.streams;
}

std::vector<BoostFigure> Figures(const std::vector<HistoryRecord>& records, const BoostSpans& spans) {
    std::vector<BoostFigure> downloads, quality, pages;
    const auto add = [&](std::vector<BoostFigure>& figures, BoostFigure figure, const HistoryRecord& r) {
        if (!FigureValue(figure, r)) return;
        if (std::none_of(figures.begin(), figures.end(), [&](const BoostFigure& g) { return SameTest(figure, g); }))
            figures.push_back(std::move(figure));
    };
    for (std::size_t i = spans.boost + 1; i < spans.afterEnd; ++i) {
        const HistoryRecord& r = records[i];
        BoostFigure figure;
        if (const DataTestRecord* d = r.Data()) {
            figure.label = "Average download";
            figure.test = d->url;
            add(downloads, figure, r);
        } else if (const WebTestRecord* w = r.Web()) {
            figure.kind = FigureKind::PageLoad;
            figure.label = ShownAddress(w->address);
            figure.test = w->address;
            figure.engine = w->engine;
            add(pages, figure, r);
        } else if (const QualityRecord* q = r.Quality()) {
            figure.test = q->server;
            figure.streams = q->streams;
            for (FigureKind kind : kQualityKinds) {
                figure.kind = kind;
                figure.label = QualityLabel(kind);
                add(quality, figure, r);
            }
        }
    }
    // The quality figures by kind, each kind's servers together.
    std::stable_sort(quality.begin(), quality.end(),
                     [](const BoostFigure& a, const BoostFigure& b) { return a.kind < b.kind; });
    downloads.insert(downloads.end(), quality.begin(), quality.end());
    downloads.insert(downloads.end(), pages.begin(), pages.end());
    return downloads;
}

// A page timed in both engines is told apart by the engine's name, a quality figure of
// more than one server (or number of streams) by the server.
void NameTests(std::vector<BoostFigure>& figures) {
    for (BoostFigure& f : figures) {
        const auto others = std::count_if(figures.begin(), figures.end(), [&](const BoostFigure& g) {
            return g.kind == f.kind && (f.kind == FigureKind::PageLoad ? g.test == f.test : true);
        });
        if (others < 2) continue;
        if (f.kind == FigureKind::PageLoad)
            f.label += " (" + f.engine + ")";
        else if (IsQualityFigure(f.kind))
            f.label += " (" + f.test + ", " + std::to_string(f.streams) + (f.streams == 1 ? " stream)" : " streams)");
    }
}

}  // namespace

std::vector<BoostFigure> FiguresAcrossLatestBoost(const std::vector<HistoryRecord>& records) {
    const std::optional<BoostSpans> spans = LatestBoostSpans(records);
    if (!spans) return {};
    std::vector<BoostFigure> figures;
    for (BoostFigure& figure : Figures(records, *spans)) {
        const Samples samples = Collect(records, *spans, figure);
        if (samples.before.empty()) continue;
        figure.verdict = Judge(samples.before, samples.after, HigherIsBetter(figure.kind));
        figures.push_back(std::move(figure));
    }
    NameTests(figures);
    return figures;
}

namespace {

// The figures' changes, or nothing when there is no figure to tell.
std::string FiguresText(const std::vector<HistoryRecord>& records, const std::string& decimalSeparator,
                        bool downloadsOnly) {
    std::string text;
    for (const BoostFigure& figure : FiguresAcrossLatestBoost(records))
        if (figure.kind == FigureKind::Download || !downloadsOnly)
            text += (text.empty() ? "" : "; ") + figure.label + " " + FigureChange(figure, decimalSeparator);
    return text;
}

}  // namespace

std::string BoostSummary(const std::vector<HistoryRecord>& records, const std::string& decimalSeparator,
                         bool downloadsOnly) {
    if (!LatestBoost(records)) return kNoBoost;
    const std::string text = FiguresText(records, decimalSeparator, downloadsOnly);
    return text.empty() ? kNothingToCompare : text;
}

std::string SummaryLine(const std::vector<HistoryRecord>& records, const std::string& decimalSeparator,
                        bool downloadsOnly) {
    if (!LatestBoost(records)) return kNoBoost;
    const std::string text = FiguresText(records, decimalSeparator, downloadsOnly);
    return text.empty() ? kNothingToCompare : "Across the latest boost: " + text;
}

std::string LoadComparison(const std::vector<HistoryRecord>& records, const std::string& engine,
                           const std::string& address, double seconds, const std::string& decimalSeparator) {
    const std::optional<BoostSpans> spans = LatestBoostSpans(records);
    if (!spans) return "No boost yet: apply one, then time this page again to see the change.";
    if (spans->afterEnd < records.size())
        return "A restore has undone the latest boost: apply a boost, then time this page again to see the change.";
    BoostFigure figure;
    figure.kind = FigureKind::PageLoad;
    figure.label = ShownAddress(address);
    figure.test = address;
    figure.engine = engine;
    Samples samples = Collect(records, *spans, figure);
    if (samples.before.empty())
        return "This page was not timed in this window before the latest boost: there is nothing to compare with.";
    samples.after.push_back(seconds);
    figure.verdict = Judge(samples.before, samples.after, false);
    return "This page across the latest boost: " + FigureChange(figure, decimalSeparator) + ".";
}

}  // namespace brisko
