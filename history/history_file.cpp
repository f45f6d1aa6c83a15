// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_file.h"

#include <chrono>
#include <filesystem>
#include <string_view>

#include "platform/append_file.h"
#include "platform/open_file.h"

namespace brisko {

HistoryRead ParseHistory(const std::string& text) {
    HistoryRead read;
    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
        if (line.size() > kMaxRecordLine) {  // no record is that long: not even copied
            ++read.skipped;
            continue;
        }
        if (std::optional<HistoryRecord> record = FromJsonLine(std::string(line)))
            read.records.push_back(std::move(*record));
        else
            ++read.skipped;
    }
    return read;
}

HistoryFile::HistoryFile(std::string folder, std::string from)
    : m_folder(std::move(folder)),
      m_path(Utf8FromPath(PathFromUtf8(m_folder) / kHistoryFileName)),
      m_from(std::move(from)) {}

Status HistoryFile::Append(HistoryRecord record) {
    record.time =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    record.from = m_from;
    std::error_code ec;
    std::filesystem::create_directories(PathFromUtf8(m_folder), ec);
    if (ec) {
        m_lastAppend = Status::Fail(ec.value(), "cannot create folder " + m_folder + ": " + ec.message());
        return m_lastAppend;
    }
    m_lastAppend = AppendBlock(m_path, ToJsonLine(record) + "\n");
    return m_lastAppend;
}

HistoryRead HistoryFile::Read() const {
    std::string text;
    bool missing = false;
    const Status status = ReadAppendedFile(m_path, &text, &missing);
    if (!status.ok()) {
        HistoryRead read;
        read.status = status;
        return read;
    }
    return ParseHistory(text);
}

}  // namespace brisko
