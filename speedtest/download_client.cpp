// SPDX-License-Identifier: GPL-3.0-or-later
#include "speedtest/download_client.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "speedtest/download_files.h"
#include "speedtest/number_format.h"

namespace brisko {

namespace {

constexpr std::string_view kHttp = "HTTP/";

// Each read of the header or of chunks takes at most this much, into the same buffer.
constexpr std::size_t kReadBytes = 256 * 1024;
// Taken in one data event at most: the loop's timers (the progress ticks) run between
// events, however fast the link.
constexpr std::int64_t kBytesPerEvent = 64 << 20;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

std::string_view WithoutCr(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

std::string_view Trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// A server's text in a message: printable ASCII only, and not too long.
std::string Printable(std::string_view text, std::size_t max) {
    std::string out;
    for (char c : text.substr(0, max)) out += (c >= ' ' && c <= '~') ? c : '?';
    if (text.size() > max) out += "...";
    return out;
}

struct StatusLine {
    std::string_view code;
    std::string_view reason;
};

// "HTTP/" version, blanks, three digits, then the line's end or a blank and the reason.
std::optional<StatusLine> ParseStatusLine(std::string_view line) {
    line.remove_prefix(kHttp.size());
    std::size_t i = 0;
    while (i < line.size() && ((line[i] >= '0' && line[i] <= '9') || line[i] == '.')) ++i;
    if (i == 0 || i >= line.size() || line[i] != ' ') return std::nullopt;
    while (i < line.size() && line[i] == ' ') ++i;
    const std::string_view code = line.substr(i, 3);
    if (code.size() != 3 || !std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    if (line.size() > i + 3 && line[i + 3] != ' ') return std::nullopt;
    return StatusLine{code, Trimmed(line.substr(i + 3))};
}

// Where the body starts: after the first empty line (CR LF or a bare LF), searched
// from the end of the status line. npos while it has not arrived.
std::size_t HeaderEnd(std::string_view text, std::size_t statusEnd) {
    for (std::size_t lf = statusEnd; lf != std::string_view::npos; lf = text.find('\n', lf + 1)) {
        if (lf + 1 < text.size() && text[lf + 1] == '\n') return lf + 2;
        if (lf + 2 < text.size() && text[lf + 1] == '\r' && text[lf + 2] == '\n') return lf + 3;
    }
    return std::string_view::npos;
}

// The values of the header lines called name, blanks around them trimmed.
std::vector<std::string_view> FieldValues(std::string_view lines, std::string_view name) {
    std::vector<std::string_view> values;
    while (!lines.empty()) {
        const std::size_t lf = lines.find('\n');
        const std::string_view line = WithoutCr(lines.substr(0, lf));
        lines.remove_prefix(lf == std::string_view::npos ? lines.size() : lf + 1);
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && EqualsIgnoringCase(line.substr(0, colon), name))
            values.push_back(Trimmed(line.substr(colon + 1)));
    }
    return values;
}

// The elements of comma-separated lists, blanks trimmed.
std::vector<std::string_view> ListElements(const std::vector<std::string_view>& values) {
    std::vector<std::string_view> elements;
    for (std::string_view v : values) {
        for (std::size_t comma; (comma = v.find(',')) != std::string_view::npos; v.remove_prefix(comma + 1))
            elements.push_back(Trimmed(v.substr(0, comma)));
        elements.push_back(Trimmed(v));
    }
    return elements;
}

std::optional<std::int64_t> Decimal(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const int digit = c - '0';
        if (value > (std::numeric_limits<std::int64_t>::max() - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

// Every Content-Length, in as many lines and lists as the server likes, must be the
// same decimal number: a response that gives two sizes has no size one can trust.
struct Length {
    bool given = false, valid = true;
    std::int64_t value = 0;
};
Length ContentLength(std::string_view fields) {
    Length length;
    for (std::string_view element : ListElements(FieldValues(fields, "content-length"))) {
        const std::optional<std::int64_t> value = Decimal(element);
        if (!value || (length.given && *value != length.value)) return {true, false, 0};
        length = {true, true, *value};
    }
    return length;
}

std::string StatusText(const StatusLine& status, std::string_view fields) {
    std::string text = "Error! The server answered " + std::string(status.code);
    if (!status.reason.empty()) text += " " + Printable(status.reason, 80);
    const std::vector<std::string_view> location = FieldValues(fields, "location");
    if (status.code[0] == '3' && !location.empty()) text += " (to " + Printable(location.front(), 200) + ")";
    return text + ".";
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<TestAddress> SplitTestUrl(const std::string& testUrl) {
    const std::size_t slash = testUrl.find('/');
    if (slash == std::string::npos || slash == 0) return std::nullopt;
    const std::optional<ServerAddress> server = ParseServer(std::string_view(testUrl).substr(0, slash));
    if (!server) return std::nullopt;
    return TestAddress{server->host, server->port, testUrl.substr(slash)};
}

std::string BuildRequest(const std::string& path, const std::string& host, std::uint16_t port) {
    return "GET " + path + " HTTP/1.0\r\n"
           "Referer: http://" + HostLineValue(host, 80) + "\r\n"
           "Connection: Keep-Alive\r\n"
           "User-Agent: Default\r\n"
           "Host: " + HostLineValue(host, port) + "\r\n"
           "Accept: */*\r\n"
           "Accept-Language: en\r\n"
           "\r\n";
}

ResponseVerdict JudgeResponseStart(std::string_view start) {
    ResponseVerdict verdict;
    start = start.substr(0, kHeaderLimit);
    const std::size_t known = std::min(start.size(), kHttp.size());
    if (start.substr(0, known) != kHttp.substr(0, known)) {
        // Not HTTP: every byte is the file's.
        verdict.kind = ResponseVerdict::Accepted;
        return verdict;
    }
    const auto refuse = [&verdict](std::string message) {
        verdict.kind = ResponseVerdict::Refused;
        verdict.refusal = std::move(message);
        return verdict;
    };
    const std::size_t statusEnd = start.find('\n');
    std::optional<StatusLine> status;
    if (statusEnd != std::string_view::npos) {
        status = ParseStatusLine(WithoutCr(start.substr(0, statusEnd)));
        if (!status) return refuse(kUnusableAnswerText + std::string("its status line is not HTTP."));
    }
    const std::size_t end = status ? HeaderEnd(start, statusEnd) : std::string_view::npos;
    if (end == std::string_view::npos) {
        if (start.size() >= kHeaderLimit)
            return refuse(kUnusableAnswerText + std::string("its header is longer than 16 KB."));
        return verdict;
    }
    // The whole header first: a redirection says where to in a line of its own.
    const std::string_view fields = start.substr(statusEnd + 1, end - statusEnd - 1);
    if (status->code == "404") return refuse(kFileNotFoundText);
    if (status->code != "200") return refuse(StatusText(*status, fields));
    // A transfer coding overrides any length; the body is in chunks when they are the last coding.
    const std::vector<std::string_view> codings = ListElements(FieldValues(fields, "transfer-encoding"));
    if (!codings.empty()) {
        verdict.chunked = EqualsIgnoringCase(codings.back(), "chunked");
    } else {
        const Length length = ContentLength(fields);
        if (!length.valid)
            return refuse(kUnusableAnswerText + std::string("the server sent an invalid Content-Length."));
        if (length.given) {
            verdict.totalBytes = length.value;
            verdict.sizeGiven = true;
        }
    }
    verdict.kind = ResponseVerdict::Accepted;
    verdict.headerBytes = end;
    return verdict;
}

std::size_t ChunkedBody::Take(const char* data, std::size_t size) {
    std::size_t payload = 0;
    const auto lineEnded = [this] { m_state = m_left == 0 ? State::Ended : State::Data; };
    for (std::size_t i = 0; i < size && !Ended() && !Malformed(); ++i) {
        const char c = data[i];
        switch (m_state) {
        case State::Data: {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(m_left, size - i));
            payload += n;
            m_left -= n;
            i += n - 1;
            if (m_left == 0) m_state = State::DataEnd;
            break;
        }
        case State::Size:
            if (const int digit = HexDigit(c); digit >= 0) {
                if (m_left > (std::numeric_limits<std::uint64_t>::max() >> 5)) {
                    m_state = State::Malformed;  // no file is that large
                    break;
                }
                m_left = m_left * 16 + static_cast<unsigned>(digit);
                ++m_digits;
                break;
            }
            if (m_digits == 0) {
                m_state = State::Malformed;
                break;
            }
            m_state = State::SizeEnd;
            [[fallthrough]];
        case State::SizeEnd:  // blanks, an extension or the line's end after the size
            if (c == ';') m_state = State::Extension;
            else if (c == '\r') m_state = State::LineEnd;
            else if (c == '\n') lineEnded();
            else if (c != ' ' && c != '\t') m_state = State::Malformed;
            break;
        case State::Extension:  // of no interest
            if (c == '\n') lineEnded();
            break;
        case State::LineEnd:
            if (c == '\n') lineEnded();
            else m_state = State::Malformed;
            break;
        case State::DataEnd:
            if (c == '\r') m_state = State::DataLineEnd;
            else if (c == '\n') m_state = State::Size;
            else m_state = State::Malformed;
            m_digits = 0;
            break;
        case State::DataLineEnd:
            m_state = c == '\n' ? State::Size : State::Malformed;
            break;
        case State::Ended:
        case State::Malformed: break;
        }
    }
    return payload;
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

void DownloadClient::Reset() {
    m_headerDone = false;
    m_complete = false;
    m_ended = false;
    m_sizeGiven = false;
    m_chunks.reset();
    m_header.clear();
}

void DownloadClient::ConnectToTestServer() {
    m_socket.Close();
    Reset();
    const std::optional<TestAddress> address = SplitTestUrl(m_testUrl);
    if (!address) {
        m_messages.Show(std::string(kConnectionDownText) + "The test file address is not valid: " + m_testUrl);
        return;
    }
    m_socket.Connect(address->host, address->port);
}

void DownloadClient::Close() { m_socket.Close(); }

void DownloadClient::OnConnect() {
    Reset();
    const std::optional<TestAddress> address = SplitTestUrl(m_testUrl);
    if (!address) return;
    const Status sent = m_socket.SendData(BuildRequest(address->path, m_socket.RemoteHost(), address->port));
    if (!sent.ok()) m_messages.Show(kConnectionDownText + sent.text);
}

void DownloadClient::OnDataArrival() { TakePending(kBytesPerEvent); }

// The header must be read, and chunks to find the next; a plain body is only counted,
// so its bytes are dropped unread (never past the size, so the count stays exact).
std::int64_t DownloadClient::TakePending(std::int64_t limit) {
    std::int64_t taken = 0;
    while (!m_complete && !m_ended && taken < limit) {
        std::size_t got = 0;
        if (m_headerDone && !m_chunks) {
            got = m_socket.Discard(static_cast<std::size_t>(
                std::min(m_counters.TotalBytes - m_counters.ReceivedBytes, limit - taken)));
            TakeBody(nullptr, got);
        } else {
            // Never filled before a read: only what the reads touch costs anything.
            if (!m_buffer) m_buffer = std::make_unique_for_overwrite<char[]>(kReadBytes);
            got = m_socket.Read(m_buffer.get(), kReadBytes);
            if (got > 0 && m_headerDone)
                TakeBody(m_buffer.get(), got);
            else if (got > 0)
                TakeHeader(m_buffer.get(), got);
        }
        taken += static_cast<std::int64_t>(got);
        if (got == 0) break;
    }
    return taken;
}

// The header is gathered until it can be judged; the body bytes read with it are the body's.
void DownloadClient::TakeHeader(const char* data, std::size_t size) {
    const std::size_t taken = std::min(size, kHeaderLimit - m_header.size());
    m_header.append(data, taken);
    const ResponseVerdict verdict = JudgeResponseStart(m_header);
    if (verdict.kind == ResponseVerdict::NeedMore) return;
    if (verdict.kind == ResponseVerdict::Refused) {
        // Closed before the message, so nothing more arrives while it is open.
        m_ended = true;
        m_socket.Close();
        m_messages.Show(verdict.refusal);
        return;
    }
    const std::string early = m_header.substr(verdict.headerBytes);
    m_header.clear();
    m_counters.TotalBytes = verdict.totalBytes;
    m_sizeGiven = verdict.sizeGiven;
    if (verdict.chunked) m_chunks.emplace();
    m_headerDone = true;
    if (m_sizeGiven && m_counters.TotalBytes == 0) {
        // An empty file measures nothing, whatever follows it.
        CutShort("The server ended the connection without sending the file.");
        return;
    }
    if (m_onHeaderDone) m_onHeaderDone();
    TakeBody(early.data(), early.size());
    TakeBody(data + taken, size - taken);
}

// data is null for bytes that were dropped unread.
void DownloadClient::TakeBody(const char* data, std::size_t size) {
    if (m_complete || m_ended) return;
    m_counters.ReceivedBytes += static_cast<std::int64_t>(m_chunks ? m_chunks->Take(data, size) : size);
    if (m_chunks && m_chunks->Malformed()) {
        End(kUnusableAnswerText + std::string("its chunked body is malformed."));
        return;
    }
    if (m_chunks && m_chunks->Ended()) {
        if (m_counters.ReceivedBytes == 0) {
            CutShort("The server ended the connection without sending the file.");
            return;
        }
        // The last chunk is the end: the size is known now.
        m_counters.TotalBytes = std::min(m_counters.TotalBytes, m_counters.ReceivedBytes);
    }
    CompletionCheck();
}

void DownloadClient::CompletionCheck() {
    if (m_complete || m_counters.ReceivedBytes < m_counters.TotalBytes) return;
    // Bytes past the size belong to no file; counting them would make the total
    // depend on how the last read happened to be cut.
    m_counters.ReceivedBytes = m_counters.TotalBytes;
    Finish();
}

void DownloadClient::Finish() {
    m_complete = true;
    m_socket.Close();
    m_endTime = m_clock.MonotonicSeconds();
}

void DownloadClient::CutShort(const std::string& reason) { End(kConnectionDownText + reason); }

void DownloadClient::End(const std::string& message) {
    m_ended = true;
    m_socket.Close();
    if (m_onCutShort) m_onCutShort();
    m_messages.Show(message);
}

void DownloadClient::OnError(long, const std::string& description) {
    m_messages.Show(kConnectionDownText + description);
}

// In HTTP/1.0 the close is the end of a body sent without a size; with a size, fewer
// bytes mean the file was cut short, and so does a close before the last chunk.
void DownloadClient::OnClosed() {
    // What was still pending came before the close.
    while (TakePending(kBytesPerEvent) > 0) {
    }
    if (m_complete || m_ended) return;
    const std::int64_t received = m_counters.ReceivedBytes;
    if (!m_headerDone || received == 0) {
        CutShort("The server ended the connection without sending the file.");
    } else if (m_chunks) {
        CutShort("The server ended the connection after " + FormatGeneral(received) +
                 " bytes, before the last chunk of the file.");
    } else if (!m_sizeGiven) {
        m_counters.TotalBytes = received;
        Finish();
    } else {
        CutShort("The server ended the connection after " + FormatGeneral(received) + " of " +
                 FormatGeneral(m_counters.TotalBytes) + " bytes.");
    }
}

}  // namespace brisko
