// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Stand-ins for the platform services: each records what it was asked and can be told to fail.
#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "history/history_file.h"
#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/external_browser.h"
#include "platform/locale.h"
#include "platform/message_box.h"
#include "platform/printer.h"
#include "platform/process_start.h"
#include "platform/registry_read.h"
#include "platform/save_dialog.h"
#include "platform/tcp_socket.h"

namespace brisko::test {

// Moved by hand; both readings advance together.
class FakeClock final : public Clock {
public:
    double SecondsSinceMidnight() const override { return m_midnight; }
    double MonotonicSeconds() const override { return m_monotonic; }
    void Advance(double seconds) {
        m_midnight += seconds;
        m_monotonic += seconds;
        if (m_midnight >= 86400.0) m_midnight -= 86400.0;
    }
    void SetMidnightSeconds(double s) { m_midnight = s; }

private:
    double m_midnight = 36000.0, m_monotonic = 1000.0;
};

class FakeLocale final : public LocaleService {
public:
    std::string DecimalSeparator() const override { return decimalSeparator; }
    std::string ShortDateToday() const override { return "24/06/2008"; }
    std::string LongTimeNow() const override { return "14:05:09"; }
    std::string decimalSeparator = ".";
};

class FakeMessageBox final : public MessageBoxService {
public:
    struct Shown {
        std::string text, title;
        bool foreground;
    };
    void Show(const std::string& text, const std::string& title, bool foreground) override {
        shown.push_back({text, title, foreground});
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& s : shown) texts.push_back(s.text);
        return texts;
    }
    std::vector<Shown> shown;
};

// Answers with a preset name, or as a cancelled dialog when it has none.
class FakeSaveDialog final : public SaveDialog {
public:
    std::optional<std::string> AskFileName() override {
        ++asked;
        return answer;
    }
    std::optional<std::string> answer;
    int asked = 0;
};

class FakeExternalBrowser final : public ExternalBrowser {
public:
    std::unique_ptr<ExternalBrowserWindow> Create(Status* error) override {
        *error = failCreate ? Status::Fail(-2147221005, "Invalid class string") : Status::Ok();
        if (failCreate) return nullptr;
        ++windowsCreated;
        return std::make_unique<Window>(*this);
    }
    bool failCreate = false;
    int windowsCreated = 0;
    std::vector<std::string> shownPages;  // the address of each window made visible

private:
    class Window final : public ExternalBrowserWindow {
    public:
        explicit Window(FakeExternalBrowser& owner) : m_owner(owner) {}
        Status Navigate(const std::string& address) override {
            m_address = address;
            return Status::Ok();
        }
        Status SetVisible(bool visible) override {
            if (visible) m_owner.shownPages.push_back(m_address);
            return Status::Ok();
        }
        bool Busy() const override { return false; }
        int ReadyState() const override { return 4; }

    private:
        FakeExternalBrowser& m_owner;
        std::string m_address;
    };
};

// Counts the yields of a long step; onPump runs at each, as a click arriving then would.
class FakeEventPump final : public EventPump {
public:
    void PumpOnce() override {
        ++count;
        if (onPump) onPump();
    }
    int count = 0;
    std::function<void()> onPump;
};

class FakeProcessStarter final : public ProcessStarter {
public:
    struct Started {
        std::string commandLine;
        WindowState state;
    };
    Status Start(const std::string& commandLine, WindowState state, const std::string& = {}) override {
        if (onStart) onStart(commandLine);
        if (failOn && failOn(commandLine)) return Status::Fail(2, "The system cannot find the file specified.");
        started.push_back({commandLine, state});
        return Status::Ok();
    }
    std::vector<Started> started;
    std::function<bool(const std::string&)> failOn;   // true: refuse this one
    std::function<void(const std::string&)> onStart;  // runs before each start
};

// String values only, enough for "Volatile Environment" HOMEPATH.
class FakeStringRegistry final : public RegistryReader {
public:
    void Set(std::uint32_t root, const std::string& keyPath, const std::string& name, const std::string& text) {
        values[std::to_string(root) + "|" + keyPath + "|" + name] = text;
    }
    long OpenKey(std::uint32_t root, const std::string& keyPath, RegKeyHandle* key) override {
        m_keys[*key = ++m_next] = std::to_string(root) + "|" + keyPath;
        return kErrorSuccess;
    }
    long QueryValue(RegKeyHandle key, const std::string& name, std::uint32_t* type, unsigned char* data,
                    std::uint32_t* length) override {
        const auto found = values.find(m_keys[key] + "|" + name);
        if (found == values.end()) return kErrorFileNotFound;
        if (found->second.size() + 1 > *length) return kErrorMoreData;
        std::memcpy(data, found->second.c_str(), found->second.size() + 1);
        *length = static_cast<std::uint32_t>(found->second.size() + 1);
        *type = kRegSz;
        return kErrorSuccess;
    }
    long CloseKey(RegKeyHandle) override { return kErrorSuccess; }
    std::map<std::string, std::string> values;

private:
    std::map<RegKeyHandle, std::string> m_keys;
    RegKeyHandle m_next = 0;
};

// A socket the test plays the server for: it scripts the events and reads what was sent.
class FakeTcpSocket final : public TcpSocket {
public:
    void SetEvents(TcpSocketEvents e) override { events = std::move(e); }
    void Connect(const std::string& host, std::uint16_t port) override {
        connects.push_back({host, port});
        open = true;
    }
    std::string RemoteHost() const override { return connects.empty() ? "" : connects.back().first; }
    Status SendData(const std::string& data) override {
        sent += data;
        return Status::Ok();
    }
    std::optional<std::size_t> UnacknowledgedBytes() const override { return unacknowledged; }
    std::size_t Read(char* buffer, std::size_t size) override {
        const std::size_t held = std::min(size, pending.size());
        if (buffer) std::copy_n(pending.begin(), held, buffer);
        pending.erase(0, held);
        // Counted bytes are never held, so their content is whatever the buffer had.
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size - held, counted));
        counted -= n;
        return held + n;
    }
    std::size_t Discard(std::size_t size) override { return Read(nullptr, size); }
    void Close() override {
        open = false;
        pending.clear();
        counted = 0;
    }

    // The server's side.
    // The client under test has set every event.
    void Accept() { events.connected(); }
    void Arrive(const std::string& bytes) {
        pending += bytes;
        Notify();
    }
    // Body bytes that are only counted, so that gigabytes pass without being held.
    void ArriveCounted(std::uint64_t bytes) {
        counted += bytes;
        Notify();
    }
    // As a system socket: told again while bytes are pending and the last event took some.
    void Notify() {
        for (std::uint64_t before = 0; open && pending.size() + counted != before;) {
            before = pending.size() + counted;
            events.dataArrival();
        }
    }
    void Fail(long number, const std::string& description) { events.error(number, description); }
    void PeerCloses() { events.closed(); }

    TcpSocketEvents events;
    std::vector<std::pair<std::string, std::uint16_t>> connects;
    std::string sent, pending;
    std::uint64_t counted = 0;
    std::optional<std::size_t> unacknowledged = 0;
    bool open = false;
};

// A history kept in memory: records are added with the next whole second as their time.
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
