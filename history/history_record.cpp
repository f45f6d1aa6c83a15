// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_record.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

namespace brisko {

namespace {

using nlohmann::json;
using nlohmann::ordered_json;

template <typename T>
T Get(const json& object, const char* key, T fallback = {}) {
    const auto it = object.find(key);
    if (it == object.end()) return fallback;
    try {
        return it->get<T>();
    } catch (const json::exception&) {
        return fallback;
    }
}

// Figures are whole numbers from 0 to 2^53 (exact in a double, as any JSON reader
// has them) or finite seconds; anything else makes the line no record, where a plain
// cast would be undefined for 1e30.
constexpr double kLargestFigure = 9007199254740992.0;

bool Figure(const json& value, std::int64_t* out) {
    if (value.is_number_unsigned()) {
        if (value.get<std::uint64_t>() > (1ULL << 53)) return false;
        *out = static_cast<std::int64_t>(value.get<std::uint64_t>());
        return true;
    }
    if (value.is_number_integer()) {
        *out = value.get<std::int64_t>();
        return *out >= 0 && *out <= (1LL << 53);
    }
    if (!value.is_number_float()) return false;
    const double d = value.get<double>();
    if (!(d >= 0 && d <= kLargestFigure) || d != std::floor(d)) return false;
    *out = static_cast<std::int64_t>(d);
    return true;
}

// A missing figure reads as 0, as it always has; one that is there must be a figure.
bool GetFigure(const json& object, const char* key, std::int64_t* out) {
    const auto it = object.find(key);
    if (it == object.end()) return true;
    return Figure(*it, out);
}

bool GetSeconds(const json& object, const char* key, double* out) {
    const auto it = object.find(key);
    if (it == object.end()) return true;
    if (!it->is_number()) return false;
    *out = it->get<double>();
    return std::isfinite(*out) && *out >= 0 && *out <= kLargestFigure;
}

// A quality figure: missing or null is one not measured; otherwise a finite value >= 0.
bool GetOptional(const json& object, const char* key, std::optional<double>* out) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) return true;
    if (!it->is_number()) return false;
    const double value = it->get<double>();
    if (!std::isfinite(value) || value < 0 || value > kLargestFigure) return false;
    *out = value;
    return true;
}

bool GetFigures(const json& object, const char* key, std::vector<std::int64_t>* out) {
    const auto it = object.find(key);
    if (it == object.end()) return true;
    if (!it->is_array()) return false;
    for (const json& value : *it)
        if (std::int64_t figure = 0; Figure(value, &figure))
            out->push_back(figure);
        else
            return false;
    return true;
}

// Nesting beyond what a record has is refused before the parser sees it: ten million
// brackets would otherwise take gigabytes.
bool ShallowEnough(const std::string& line) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxRecordDepth) return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

std::optional<std::int64_t> FromCivil(int year, unsigned month, unsigned day, int hour, int minute, int second) {
    using namespace std::chrono;
    const year_month_day date{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}};
    if (!date.ok() || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60)
        return std::nullopt;
    return sys_days{date}.time_since_epoch().count() * 86400LL + hour * 3600 + minute * 60 + second;
}

// The figures of a run by the names they are kept under, in the order they are written.
template <typename Record>
auto QualityFigures(Record& q) {
    using Figure = decltype(&q.idleLatencyMs);
    return std::array<std::pair<const char*, Figure>, 8>{{
        {"idle_latency_ms", &q.idleLatencyMs},
        {"jitter_ms", &q.jitterMs},
        {"download_single_mbit", &q.downloadSingleMbit},
        {"download_mbit", &q.downloadMbit},
        {"upload_single_mbit", &q.uploadSingleMbit},
        {"upload_mbit", &q.uploadMbit},
        {"loaded_latency_ms", &q.loadedLatencyMs},
        {"rpm", &q.responsivenessRpm},
    }};
}

}  // namespace

std::string HistoryRecord::Kind() const {
    if (Data()) return "data-test";
    if (Web()) return "web-test";
    if (Quality()) return "quality";
    return Boost()->mode;
}

std::string ToJsonLine(const HistoryRecord& record) {
    // Written in a fixed order, time first, so the file reads well too.
    ordered_json j = {{"time", UtcText(record.time)}, {"kind", record.Kind()}, {"from", record.from}};
    if (const DataTestRecord* d = record.Data()) {
        j["url"] = d->url.substr(0, kMaxAddressBytes);
        j["bytes"] = d->bytes;
        j["seconds"] = d->seconds;
        j["average_kb_s"] = d->averageSpeed;
        j["max_kb_s"] = d->maximumSpeed;
        j["min_kb_s"] = d->minimumSpeed;
        j["speeds_kb_s"] = d->tickSpeeds.size() <= kMaxTicks
                               ? d->tickSpeeds
                               : std::vector<std::int64_t>(d->tickSpeeds.begin(), d->tickSpeeds.begin() + kMaxTicks);
    } else if (const WebTestRecord* w = record.Web()) {
        j["engine"] = w->engine;
        j["address"] = w->address.substr(0, kMaxAddressBytes);
        j["seconds"] = w->seconds;
    } else if (const BoostRecord* b = record.Boost()) {
        j["imported"] = b->imported;
        j["not_imported"] = b->notImported;
        j["patched"] = b->patched;
        j["failure"] = b->failure;
        if (!b->notLanded.empty()) j["not_landed"] = b->notLanded;
    } else if (const QualityRecord* q = record.Quality()) {
        j["server"] = q->server.substr(0, kMaxAddressBytes);
        j["streams"] = q->streams;
        j["phase_seconds"] = q->phaseSeconds;
        // A figure the run did not reach is left out, never written as 0.
        for (const auto& [key, value] : QualityFigures(*q))
            if (*value) j[key] = **value;
        j["failure"] = q->failure.substr(0, kMaxFailureBytes);
    }
    // A typed address may hold any bytes; the line must stay valid JSON.
    return j.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

std::optional<HistoryRecord> FromJsonLine(const std::string& line) {
    if (line.size() > kMaxRecordLine || !ShallowEnough(line)) return std::nullopt;
    const json j = json::parse(line, nullptr, false);
    if (!j.is_object()) return std::nullopt;
    const std::optional<std::int64_t> time = ParseUtcText(Get<std::string>(j, "time"));
    if (!time) return std::nullopt;
    HistoryRecord record;
    record.time = *time;
    record.from = Get<std::string>(j, "from");
    const std::string kind = Get<std::string>(j, "kind");
    if (kind == "data-test") {
        DataTestRecord d;
        d.url = Get<std::string>(j, "url").substr(0, kMaxAddressBytes);
        if (!GetFigure(j, "bytes", &d.bytes) || !GetSeconds(j, "seconds", &d.seconds) ||
            !GetFigure(j, "average_kb_s", &d.averageSpeed) || !GetFigure(j, "max_kb_s", &d.maximumSpeed) ||
            !GetFigure(j, "min_kb_s", &d.minimumSpeed) || !GetFigures(j, "speeds_kb_s", &d.tickSpeeds))
            return std::nullopt;
        record.what = std::move(d);
    } else if (kind == "web-test") {
        WebTestRecord w;
        w.engine = Get<std::string>(j, "engine");
        w.address = Get<std::string>(j, "address").substr(0, kMaxAddressBytes);
        if (!GetSeconds(j, "seconds", &w.seconds)) return std::nullopt;
        record.what = std::move(w);
    } else if (kind == "boost" || kind == "pro-boost" || kind == "restore") {
        BoostRecord b;
        b.mode = kind;
        b.imported = Get<std::vector<std::string>>(j, "imported");
        b.notImported = Get<std::vector<std::string>>(j, "not_imported");
        b.patched = Get<std::vector<std::string>>(j, "patched");
        b.failure = Get<std::string>(j, "failure");
        b.notLanded = Get<std::vector<std::string>>(j, "not_landed");
        record.what = std::move(b);
    } else if (kind == "quality") {
        QualityRecord q;
        q.server = Get<std::string>(j, "server").substr(0, kMaxAddressBytes);
        q.failure = Get<std::string>(j, "failure").substr(0, kMaxFailureBytes);
        std::int64_t streams = 0;
        if (!GetFigure(j, "streams", &streams) || streams > kMaxQualityStreams ||
            !GetSeconds(j, "phase_seconds", &q.phaseSeconds))
            return std::nullopt;
        q.streams = static_cast<int>(streams);
        for (const auto& [key, value] : QualityFigures(q))
            if (!GetOptional(j, key, value)) return std::nullopt;
        record.what = std::move(q);
    } else {
        return std::nullopt;
    }
    return record;
}

bool ChangedAnything(const BoostRecord& boost) {
    if (!boost.patched.empty()) return true;
    for (const std::string& file : boost.imported)
        if (std::find(boost.notLanded.begin(), boost.notLanded.end(), file) == boost.notLanded.end()) return true;
    return false;
}

bool Failed(const BoostRecord& boost) {
    return !boost.failure.empty() || !boost.notImported.empty() || !boost.notLanded.empty() || !ChangedAnything(boost);
}

std::string UtcText(std::int64_t time) {
    using namespace std::chrono;
    const sys_days day{days{time >= 0 ? time / 86400 : (time - 86399) / 86400}};
    const std::int64_t rest = time - day.time_since_epoch().count() * 86400LL;
    const year_month_day date{day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), static_cast<int>(rest / 3600),
                  static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
    return text;
}

std::optional<std::int64_t> ParseUtcText(const std::string& text) {
    int year = 0, hour = 0, minute = 0, second = 0;
    unsigned month = 0, day = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2u-%2uT%2d:%2d:%2dZ%n", &year, &month, &day, &hour, &minute, &second, &used) !=
            6 ||
        used != static_cast<int>(text.size()))
        return std::nullopt;
    return FromCivil(year, month, day, hour, minute, second);
}

std::string LocalText(std::int64_t time) {
    const std::time_t t = static_cast<std::time_t>(time);
    const std::tm* local = std::localtime(&t);
    char text[40] = "";
    if (local) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    return text;
}

std::optional<std::int64_t> ParseLocalDate(const std::string& text) {
    int year = 0, hour = 0, minute = 0, second = 0;
    unsigned month = 0, day = 0;
    int used = 0;
    char separator = 0;
    const int fields = std::sscanf(text.c_str(), "%4d-%2u-%2u%n%c%2d:%2d%n:%2d%n", &year, &month, &day, &used,
                                   &separator, &hour, &minute, &used, &second, &used);
    const bool shape = (fields == 3 || ((fields == 6 || fields == 7) && (separator == 'T' || separator == ' ')));
    if (!shape || used != static_cast<int>(text.size())) return std::nullopt;
    if (!FromCivil(year, month, day, hour, minute, second)) return std::nullopt;
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = static_cast<int>(month) - 1;
    local.tm_mday = static_cast<int>(day);
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const std::time_t t = std::mktime(&local);
    if (t == static_cast<std::time_t>(-1)) return std::nullopt;
    return static_cast<std::int64_t>(t);
}

}  // namespace brisko
