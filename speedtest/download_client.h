// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The download client: one hand-written HTTP/1.0 GET over a plain TCP socket. It reads
// the size from the response header, then only counts the body bytes; the data itself
// is dropped as it arrives.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/tcp_socket.h"

namespace brisko {

// The size taken when a response gives no usable one. Shown as "N/A", so it must
// stay exactly ten million.
inline constexpr std::int64_t AssumedSize = 10'000'000;

// A header that has not ended after this many bytes is no header a file server sends.
inline constexpr std::size_t kHeaderLimit = 16 * 1024;

inline constexpr const char* kFileNotFoundText = "Error! File not found.";
inline constexpr const char* kConnectionDownText = "Error! Your Internet connection may be down. ";
// A response that cannot be measured: this, then why.
inline constexpr const char* kUnusableAnswerText = "Error! The server's answer cannot be used: ";

struct DownloadCounters {
    std::int64_t TotalBytes = 0;     // size from the header, or AssumedSize
    std::int64_t ReceivedBytes = 0;  // body bytes counted so far
};

// A test address "host/path", or "host:port/path" or "[v6]:port/path" for a server of
// one's own.
struct TestAddress {
    std::string host;
    std::uint16_t port = 80;
    std::string path;
};
std::optional<TestAddress> SplitTestUrl(const std::string& testUrl);

// The Host line names the port when it is not 80: a server of several sites then
// answers for the right one. An IPv6 address goes in brackets there.
std::string BuildRequest(const std::string& path, const std::string& host, std::uint16_t port = 80);

// What the start of a response says, judged from its header alone.
struct ResponseVerdict {
    enum Kind {
        NeedMore,  // the header has not ended yet
        Refused,   // a status other than 200, or a header nothing can be measured by
        Accepted,  // a 200 header, or a response that is not HTTP at all (all body)
    };
    Kind kind = NeedMore;
    std::string refusal;                // the message, when refused
    std::size_t headerBytes = 0;        // where the body starts
    std::int64_t totalBytes = AssumedSize;
    bool sizeGiven = false;             // a Content-Length (0 included)
    bool chunked = false;               // the body comes in chunks
};
// The verdict never changes once it is not NeedMore, however much more arrives, so
// it does not depend on how the bytes were split into reads.
ResponseVerdict JudgeResponseStart(std::string_view start);

// A chunked body read as it arrives: counts the payload, never the framing, and ends
// at the last chunk (its trailer is of no interest).
class ChunkedBody {
public:
    // The payload bytes among these; bytes after the last chunk are not looked at.
    std::size_t Take(const char* data, std::size_t size);
    bool Ended() const { return m_state == State::Ended; }
    bool Malformed() const { return m_state == State::Malformed; }

private:
    enum class State { Size, SizeEnd, Extension, LineEnd, Data, DataEnd, DataLineEnd, Ended, Malformed };
    State m_state = State::Size;
    int m_digits = 0;
    std::uint64_t m_left = 0;  // of the chunk being read
};

class DownloadClient {
public:
    // onHeaderDone runs when the response header has been accepted (it starts the
    // progress timer).
    DownloadClient(TcpSocket& socket, const Clock& clock, MessageBoxService& messages,
                   std::function<void()> onHeaderDone);
    ~DownloadClient();
    DownloadClient(const DownloadClient&) = delete;
    DownloadClient& operator=(const DownloadClient&) = delete;

    // Runs when the server ends the connection before the file is complete, just
    // before the message saying so.
    void SetOnCutShort(std::function<void()> onCutShort) { m_onCutShort = std::move(onCutShort); }

    void SetTestUrl(std::string testUrl) { m_testUrl = std::move(testUrl); }
    const std::string& TestUrl() const { return m_testUrl; }

    // Closes any connection, then connects to the host of TestUrl.
    void ConnectToTestServer();
    void Close();

    bool HeaderDone() const { return m_headerDone; }
    // The whole file has been counted (or the server ended a file of unknown size).
    bool Complete() const { return m_complete; }
    const DownloadCounters& Counters() const { return m_counters; }
    void ResetReceivedBytes() { m_counters.ReceivedBytes = 0; }
    // Monotonic clock reading when ReceivedBytes first reached TotalBytes.
    double EndTime() const { return m_endTime; }

private:
    void Reset();
    void OnConnect();
    void OnDataArrival();
    std::int64_t TakePending(std::int64_t limit);
    void OnError(long number, const std::string& description);
    void OnClosed();
    void TakeHeader(const char* data, std::size_t size);
    void TakeBody(const char* data, std::size_t size);
    void CompletionCheck();
    void Finish();
    void CutShort(const std::string& reason);
    // Ends the test with message: nothing more is counted.
    void End(const std::string& message);

    TcpSocket& m_socket;
    const Clock& m_clock;
    MessageBoxService& m_messages;
    std::function<void()> m_onHeaderDone;
    std::function<void()> m_onCutShort;

    std::string m_testUrl;
    bool m_headerDone = false;
    bool m_complete = false;
    bool m_ended = false;  // refused or cut short: nothing more is counted
    bool m_sizeGiven = false;
    std::optional<ChunkedBody> m_chunks;  // while the body comes in chunks
    std::string m_header;       // the response so far, while its header has not ended
    std::unique_ptr<char[]> m_buffer;  // every read of the header and of chunks lands here
    DownloadCounters m_counters;
    double m_endTime = 0;
};

}  // namespace brisko
