#pragma once
// A history kept in memory: records are added with the next whole second as their time.
#include "history/history_file.h"

namespace brisko::test {

class FakeHistory final : public HistoryService {
public:
    Status Append(HistoryRecord record) override {
        record.time = ++m_now;
        record.from = "test";
        m_read.records.push_back(std::move(record));
        return m_lastAppend;
    }
    HistoryRead Read() const override { return m_read; }
    std::string Location() const override { return "memory"; }
    const Status& LastAppend() const override { return m_lastAppend; }

    std::vector<HistoryRecord>& Records() { return m_read.records; }

private:
    HistoryRead m_read;
    std::int64_t m_now = 1700000000;
    Status m_lastAppend;
};

}  // namespace brisko::test
