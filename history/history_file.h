// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The history of results, kept in the user's data folder as history.jsonl: one JSON
// object per line, only ever appended to. Each finished test and each boost adds one
// line, from the windows and from brisko-cli alike, so both write through here.
// A program builds one HistoryFile at start and lends it to the logic that records.
#include <cstddef>
#include <string>
#include <vector>

#include "history/history_record.h"
#include "platform/error.h"

namespace brisko {

inline constexpr const char* kHistoryFileName = "history.jsonl";

struct HistoryRead {
    std::vector<HistoryRecord> records;  // in the order they were added
    std::size_t skipped = 0;             // lines that are not records (a torn last line, say)
    Status status;                       // why the file could not be read; a missing file is no failure
};

// Lines of text into records; blank lines and lines that are not records are skipped.
HistoryRead ParseHistory(const std::string& text);

class HistoryService {
public:
    virtual ~HistoryService() = default;
    // Stamps the record with the time now and the program's name, then adds it.
    virtual Status Append(HistoryRecord record) = 0;
    virtual HistoryRead Read() const = 0;
    // Where the records are kept, for messages.
    virtual std::string Location() const = 0;
    // Why the last Append failed; Ok once one has succeeded again.
    virtual const Status& LastAppend() const = 0;
};

class HistoryFile final : public HistoryService {
public:
    // folder: the user's data folder (created on the first append); from: the program.
    HistoryFile(std::string folder, std::string from);

    Status Append(HistoryRecord record) override;
    HistoryRead Read() const override;
    std::string Location() const override { return m_path; }
    const Status& LastAppend() const override { return m_lastAppend; }

private:
    std::string m_folder;
    std::string m_path;
    std::string m_from;
    Status m_lastAppend;
};

}  // namespace brisko
