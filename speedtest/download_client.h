#pragma once
// The download client: one hand-written HTTP/1.0 GET over a plain TCP socket. It reads
// the size from the response header, then only counts the body bytes; the data itself
// is dropped as it arrives.
#include <cstdint>
#include <functional>
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

// A header that has not ended after this many bytes is judged as it stands.
inline constexpr std::size_t kHeaderLimit = 16 * 1024;

// The header positions of the size value were 16-bit; a size beyond them is unusable.
inline constexpr std::size_t kPositionLimit = 32767;

inline constexpr const char* kFileNotFoundText = "Error! File not found.";
inline constexpr const char* kConnectionDownText = "Error! Your Internet connection may be down. ";

struct DownloadCounters {
    std::int64_t TotalBytes = 0;     // size from the header, or AssumedSize
    std::int64_t ReceivedBytes = 0;  // body bytes counted so far
};

// A test address "host/path", or "host:port/path" for a server of one's own.
struct TestAddress {
    std::string host;
    std::uint16_t port = 80;
    std::string path;
};
std::optional<TestAddress> SplitTestUrl(const std::string& testUrl);

std::string BuildRequest(const std::string& path, const std::string& host);

// What the first chunk of a response (or the collected header) says.
struct FirstChunkVerdict {
    bool refused = false;          // a status other than 200
    std::int64_t totalBytes = 0;   // the file size to count up to
    std::int64_t bodyBytes = 0;    // body bytes that came with the header
};
FirstChunkVerdict JudgeFirstChunk(std::string_view chunk);

// The Content-Length value as the header carries it; AssumedSize for 0 and for
// anything that is not a plain decimal number fitting the counters.
std::int64_t ParseContentLength(std::string_view value);

class DownloadClient {
public:
    // onHeaderDone runs when the response header has been accepted (it starts the
    // progress timer).
    DownloadClient(TcpSocket& socket, const Clock& clock, MessageBoxService& messages,
                   std::function<void()> onHeaderDone);
    ~DownloadClient();
    DownloadClient(const DownloadClient&) = delete;
    DownloadClient& operator=(const DownloadClient&) = delete;

    void SetTestUrl(std::string testUrl) { m_testUrl = std::move(testUrl); }
    const std::string& TestUrl() const { return m_testUrl; }

    // Closes any connection, then connects to the host of TestUrl.
    void ConnectToTestServer();
    void Close();

    bool HeaderDone() const { return m_headerDone; }
    const DownloadCounters& Counters() const { return m_counters; }
    void ResetReceivedBytes() { m_counters.ReceivedBytes = 0; }
    // Monotonic clock reading when ReceivedBytes first reached TotalBytes.
    double EndTime() const { return m_endTime; }

private:
    void OnConnect();
    void OnDataArrival();
    void OnError(long number, const std::string& description);
    void OnClosed();
    void CollectHeader(std::string chunk);
    void Judge(std::string_view chunk);
    void CompletionCheck();

    TcpSocket& m_socket;
    const Clock& m_clock;
    MessageBoxService& m_messages;
    std::function<void()> m_onHeaderDone;

    std::string m_testUrl;
    bool m_headerDone = false;
    bool m_complete = false;
    std::string m_header;  // the header so far, while it has not ended
    DownloadCounters m_counters;
    double m_endTime = 0;
};

}  // namespace brisko
