#include "speedtest/download_client.h"

#include <algorithm>
#include <limits>

namespace brisko {

namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return lower;
}

bool ContainsHttp(std::string_view text) {
    static constexpr std::string_view kHttp = "http";
    auto it = std::search(text.begin(), text.end(), kHttp.begin(), kHttp.end(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b;
    });
    return it != text.end();
}

// Characters 10 to 12 hold the status code of a status line such as "HTTP/1.1 200 OK".
bool StatusIs200(std::string_view chunk) { return chunk.size() >= 12 && chunk.substr(9, 3) == "200"; }

// The size value starts one character after "content-length:" and its colon, and
// ends before the next CR LF.
std::int64_t SizeAt(std::string_view chunk, std::size_t namePos) {
    const std::size_t start = namePos + 16;
    if (start >= chunk.size()) return AssumedSize;
    const std::size_t end = chunk.find("\r\n", start + 1);
    if (end == std::string_view::npos || end + 1 > kPositionLimit) return AssumedSize;
    return ParseContentLength(chunk.substr(start, end - start));
}

// Body bytes behind the header's empty line. Without one, the whole chunk but its
// first three characters counts, as it always has.
std::int64_t BodyAfterHeader(std::string_view chunk) {
    const std::size_t end = chunk.find(kHeaderEnd);
    if (end == std::string_view::npos) return chunk.size() >= 3 ? static_cast<std::int64_t>(chunk.size() - 3) : 0;
    return static_cast<std::int64_t>(chunk.size() - (end + kHeaderEnd.size()));
}

}  // namespace

std::optional<TestAddress> SplitTestUrl(const std::string& testUrl) {
    const std::size_t slash = testUrl.find('/');
    if (slash == std::string::npos || slash == 0) return std::nullopt;
    TestAddress address;
    address.host = testUrl.substr(0, slash);
    address.path = testUrl.substr(slash);
    const std::size_t colon = address.host.rfind(':');
    if (colon != std::string::npos) {
        const std::string port = address.host.substr(colon + 1);
        address.host.resize(colon);
        if (address.host.empty() || port.empty() || port.size() > 5 ||
            !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        const long value = std::stol(port);
        if (value < 1 || value > 65535) return std::nullopt;
        address.port = static_cast<std::uint16_t>(value);
    }
    return address;
}

std::string BuildRequest(const std::string& path, const std::string& host) {
    return "GET " + path + " HTTP/1.0\r\n"
           "Referer: http://" + host + "\r\n"
           "Connection: Keep-Alive\r\n"
           "User-Agent: Default\r\n"
           "Host: " + host + "\r\n"
           "Accept: */*\r\n"
           "Accept-Language: en\r\n"
           "\r\n";
}

std::int64_t ParseContentLength(std::string_view value) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!value.empty() && blank(value.front())) value.remove_prefix(1);
    while (!value.empty() && blank(value.back())) value.remove_suffix(1);
    if (value.empty()) return AssumedSize;
    std::int64_t size = 0;
    for (char c : value) {
        if (c < '0' || c > '9') return AssumedSize;
        const int digit = c - '0';
        if (size > (std::numeric_limits<std::int64_t>::max() - digit) / 10) return AssumedSize;
        size = size * 10 + digit;
    }
    return size == 0 ? AssumedSize : size;
}

FirstChunkVerdict JudgeFirstChunk(std::string_view chunk) {
    FirstChunkVerdict verdict;
    if (ContainsHttp(chunk) && !StatusIs200(chunk)) {
        verdict.refused = true;
        return verdict;
    }
    const std::string lower = Lower(chunk);
    verdict.totalBytes = AssumedSize;
    if (lower.find("content-type:") == std::string::npos) {
        verdict.bodyBytes = static_cast<std::int64_t>(chunk.size());
        return verdict;
    }
    const std::size_t namePos = lower.find("content-length:");
    if (namePos != std::string::npos) verdict.totalBytes = SizeAt(chunk, namePos);
    verdict.bodyBytes = BodyAfterHeader(chunk);
    return verdict;
}

DownloadClient::DownloadClient(TcpSocket& socket, const Clock& clock, MessageBoxService& messages,
                               std::function<void()> onHeaderDone)
    : m_socket(socket), m_clock(clock), m_messages(messages), m_onHeaderDone(std::move(onHeaderDone)) {
    TcpSocketEvents events;
    events.connected = [this] { OnConnect(); };
    events.dataArrival = [this] { OnDataArrival(); };
    events.error = [this](long number, const std::string& description) { OnError(number, description); };
    events.closed = [this] { OnClosed(); };
    m_socket.SetEvents(std::move(events));
}

DownloadClient::~DownloadClient() {
    m_socket.SetEvents({});
    m_socket.Close();
}

void DownloadClient::ConnectToTestServer() {
    m_socket.Close();
    m_headerDone = false;
    m_complete = false;
    m_header.clear();
    const std::optional<TestAddress> address = SplitTestUrl(m_testUrl);
    if (!address) {
        m_messages.Show(std::string(kConnectionDownText) + "The test file address is not valid: " + m_testUrl);
        return;
    }
    m_socket.Connect(address->host, address->port);
}

void DownloadClient::Close() { m_socket.Close(); }

void DownloadClient::OnConnect() {
    m_headerDone = false;
    m_complete = false;
    m_header.clear();
    const std::optional<TestAddress> address = SplitTestUrl(m_testUrl);
    if (!address) return;
    const Status sent = m_socket.SendData(BuildRequest(address->path, m_socket.RemoteHost()));
    if (!sent.ok()) m_messages.Show(kConnectionDownText + sent.text);
}

void DownloadClient::OnDataArrival() {
    if (m_headerDone) {
        // Body data is only counted, never kept.
        m_counters.ReceivedBytes += static_cast<std::int64_t>(m_socket.DiscardData());
        CompletionCheck();
        return;
    }
    CollectHeader(m_socket.GetData());
}

// A header split over several reads is gathered until its empty line (or the
// limit) has arrived, then judged whole. A status other than 200 is refused as
// soon as it can be read, since more data cannot change that verdict.
void DownloadClient::CollectHeader(std::string chunk) {
    if (chunk.empty()) return;
    if (m_header.empty() && (chunk.find(kHeaderEnd) != std::string::npos || chunk.size() >= kHeaderLimit)) {
        Judge(chunk);
        return;
    }
    const std::size_t searchFrom = m_header.size() >= 3 ? m_header.size() - 3 : 0;
    m_header += chunk;
    const bool ended = m_header.find(kHeaderEnd, searchFrom) != std::string::npos;
    const bool statusKnown = m_header.size() >= 12 && ContainsHttp(m_header);
    if (ended || m_header.size() >= kHeaderLimit || (statusKnown && !StatusIs200(m_header))) {
        std::string whole;
        whole.swap(m_header);
        Judge(whole);
    }
}

void DownloadClient::Judge(std::string_view chunk) {
    const FirstChunkVerdict verdict = JudgeFirstChunk(chunk);
    if (verdict.refused) {
        // Closed before the message, so nothing more arrives while it is open.
        m_socket.Close();
        m_messages.Show(kFileNotFoundText);
        return;
    }
    m_counters.TotalBytes = verdict.totalBytes;
    m_headerDone = true;
    if (m_onHeaderDone) m_onHeaderDone();
    m_counters.ReceivedBytes += verdict.bodyBytes;
    CompletionCheck();
}

void DownloadClient::CompletionCheck() {
    if (m_complete || m_counters.ReceivedBytes < m_counters.TotalBytes) return;
    m_complete = true;
    m_socket.Close();
    m_endTime = m_clock.MonotonicSeconds();
}

void DownloadClient::OnError(long, const std::string& description) {
    m_messages.Show(kConnectionDownText + description);
}

// The server ended the connection. A header still being gathered is judged as it
// stands, which is what a single read would have given; otherwise nothing happens.
void DownloadClient::OnClosed() {
    if (m_headerDone || m_header.empty()) return;
    std::string whole;
    whole.swap(m_header);
    Judge(whole);
}

}  // namespace brisko
