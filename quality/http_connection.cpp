// SPDX-License-Identifier: GPL-3.0-or-later
#include "quality/http_connection.h"

#include <algorithm>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

#include "speedtest/download_client.h"
#include "speedtest/download_files.h"

namespace brisko {

namespace {

// Each read of a header or a chunked body takes at most this much.
constexpr std::size_t kReadBytes = 256 * 1024;
// Taken in one data event at most, so that the loop's timers run however fast the link.
constexpr std::uint64_t kBytesPerEvent = 64 << 20;
// An upload's body goes to the socket in pieces of this size, one at a time.
constexpr std::size_t kBlockBytes = 1 << 20;
// The start of a body is kept for the one who asked (a probe's byte, an upload's count).
constexpr std::size_t kKeptBody = 64;

const std::string& Block() {
    static const std::string block(kBlockBytes, 'x');
    return block;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerText(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = Lower(c);
    return out;
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::string Printable(std::string_view text) {
    std::string out;
    for (char c : text.substr(0, 80)) out += (c >= ' ' && c <= '~') ? c : '?';
    return out;
}

bool Digits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The comma-separated elements of every field called name (lower case).
std::vector<std::string> Elements(const std::vector<std::pair<std::string, std::string>>& fields,
                                  const std::string& name) {
    std::vector<std::string> out;
    for (const auto& [field, value] : fields) {
        if (field != name) continue;
        std::string_view rest = value;
        for (;;) {
            const std::size_t comma = rest.find(',');
            out.push_back(LowerText(Trimmed(rest.substr(0, comma))));
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
        }
    }
    return out;
}

}  // namespace

std::string HttpAnswer::StatusText() const {
    return std::to_string(status) + (reason.empty() ? "" : " " + Printable(reason));
}

std::string RequestHeader(const std::string& method, const std::string& target, const std::string& host,
                          std::uint16_t port, std::optional<std::uint64_t> bodyBytes) {
    std::string header = method + " " + target + " HTTP/1.1\r\n";
    header += "Host: " + HostLineValue(host, port) + "\r\n";
    header += "User-Agent: brisko\r\nAccept: */*\r\n";
    if (bodyBytes)
        header += "Content-Type: application/octet-stream\r\nContent-Length: " + std::to_string(*bodyBytes) + "\r\n";
    return header + "\r\n";
}

HttpConnection::HttpConnection(TcpSocketFactory& sockets, std::string host, std::uint16_t port,
                               HttpConnectionEvents events)
    : m_sockets(sockets), m_host(std::move(host)), m_port(port), m_events(std::move(events)) {}

HttpConnection::~HttpConnection() {
    if (!m_socket) return;
    m_socket->SetEvents({});
    m_socket->Close();
}

void HttpConnection::Connect() {
    if (!m_socket) {
        m_socket = m_sockets.Create();
        TcpSocketEvents events;
        events.connected = [this] { OnConnected(); };
        events.dataArrival = [this] { OnData(); };
        events.error = [this](long, const std::string& description) { OnError(description); };
        events.closed = [this] { OnClosed(); };
        events.sendComplete = [this] { OnSendComplete(); };
        m_socket->SetEvents(std::move(events));
    }
    m_state = State::Connecting;
    m_socket->Connect(m_host, m_port);
}

void HttpConnection::Get(const std::string& target) { Queue({RequestHeader("GET", target, m_host, m_port), 0}); }

void HttpConnection::Post(const std::string& target, std::uint64_t bodyBytes) {
    Queue({RequestHeader("POST", target, m_host, m_port, bodyBytes), bodyBytes});
}

void HttpConnection::Queue(Outgoing outgoing) {
    if (m_state == State::Ended) return;
    m_outgoing.push_back(std::move(outgoing));
    ++m_waiting;
    Pump();
}

void HttpConnection::Close() {
    if (m_state != State::Ended && m_socket) m_deliveredAtEnd = BodyBytesDelivered();
    m_state = State::Ended;
    m_reading = Reading::Done;
    m_outgoing.clear();
    m_waiting = 0;
    if (m_socket) m_socket->Close();
}

void HttpConnection::Fail(const std::string& why) {
    if (m_state == State::Ended) return;
    Close();
    if (m_events.failed) m_events.failed(why);
}

std::uint64_t HttpConnection::BodyBytesDelivered() const {
    if (m_deliveredAtEnd) return *m_deliveredAtEnd;
    const std::optional<std::size_t> unacknowledged =
        m_socket ? m_socket->UnacknowledgedBytes() : std::optional<std::size_t>(0);
    // A request's header counts as soon as it is given: a hundred bytes or so early.
    const std::uint64_t delivered =
        unacknowledged ? m_given - std::min<std::uint64_t>(*unacknowledged, m_given) : m_taken;
    const std::uint64_t headers = unacknowledged ? m_headerGiven : m_headerTaken;
    return delivered - std::min(headers, delivered);
}

void HttpConnection::OnConnected() {
    if (m_state != State::Connecting) return;
    m_state = State::Connected;
    if (m_events.connected) m_events.connected();
    Pump();
}

void HttpConnection::Pump() {
    while (!m_sendBusy && m_state == State::Connected && !m_outgoing.empty()) {
        Outgoing& next = m_outgoing.front();
        if (!next.header.empty()) {
            // The header and the body's first piece in one go.
            std::string bytes = std::exchange(next.header, {});
            const std::size_t headerBytes = bytes.size();
            const auto first = static_cast<std::size_t>(std::min<std::uint64_t>(next.body, kBlockBytes));
            bytes.append(Block(), 0, first);
            next.body -= first;
            if (next.body == 0) m_outgoing.pop_front();
            Give(bytes, headerBytes);
        } else if (next.body > 0) {
            const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(next.body, kBlockBytes));
            next.body -= piece;
            if (next.body == 0) m_outgoing.pop_front();
            if (piece == kBlockBytes)
                Give(Block(), 0);
            else
                Give(Block().substr(0, piece), 0);
        } else {
            m_outgoing.pop_front();
        }
    }
}

void HttpConnection::Give(const std::string& bytes, std::size_t headerBytes) {
    m_sendBusy = true;
    m_busyBytes = bytes.size();
    m_busyHeaderBytes = headerBytes;
    m_given += bytes.size();
    m_headerGiven += headerBytes;
    const Status sent = m_socket->SendData(bytes);
    if (!sent.ok()) Fail("the connection failed: " + sent.text);
}

void HttpConnection::OnSendComplete() {
    if (!m_sendBusy) return;
    m_sendBusy = false;
    m_taken += m_busyBytes;
    m_headerTaken += m_busyHeaderBytes;
    Pump();
}

void HttpConnection::OnError(const std::string& description) {
    if (m_state == State::Connecting)
        Fail("cannot connect to " + HostAndPort(m_host, m_port) + ": " + description);
    else
        Fail("the connection failed: " + description);
}

void HttpConnection::OnData() {
    if (m_state == State::Connected) TakePending(kBytesPerEvent);
}

void HttpConnection::OnClosed() {
    // What was still pending came before the end.
    while (m_state == State::Connected && TakePending(kBytesPerEvent) > 0) {
    }
    if (m_state != State::Connected) return;
    if (m_reading == Reading::UntilClose) {
        m_answer.keepAlive = false;
        Answered();
        if (m_state != State::Connected) return;
    }
    Fail("the server ended the connection");
}

std::uint64_t HttpConnection::TakePending(std::uint64_t limit) {
    std::uint64_t taken = 0;
    while (m_state == State::Connected && taken < limit) {
        std::size_t got = 0;
        if (m_reading == Reading::Length && m_answer.body.size() >= kKeptBody) {
            // Counted, never looked at: dropped unread, never past the answer's end.
            got = m_socket->Discard(static_cast<std::size_t>(std::min(m_left, limit - taken)));
            TakeBody(nullptr, got);
        } else if (m_reading == Reading::Done) {
            got = m_socket->Discard(static_cast<std::size_t>(limit - taken));
        } else {
            if (!m_buffer) m_buffer = std::make_unique_for_overwrite<char[]>(kReadBytes);
            got = m_socket->Read(m_buffer.get(), kReadBytes);
            Feed(m_buffer.get(), got);
        }
        if (got == 0) break;
        taken += got;
    }
    return taken;
}

void HttpConnection::Feed(const char* data, std::size_t size) {
    while (size > 0 && m_state == State::Connected) {
        std::size_t used = size;
        switch (m_reading) {
            case Reading::Header: used = FeedHeader(data, size); break;
            case Reading::Length:
                used = static_cast<std::size_t>(std::min<std::uint64_t>(m_left, size));
                TakeBody(data, used);
                break;
            case Reading::Chunked: {
                const std::size_t payload = m_chunks->Take(data, size);
                m_received += payload;
                m_answer.bodyBytes += payload;
                if (m_chunks->Malformed()) {
                    Fail("the server's answer is malformed (its chunks)");
                } else if (m_chunks->Ended()) {
                    m_answer.keepAlive = false;  // its end is not followed further
                    Answered();
                }
                break;
            }
            case Reading::UntilClose:
                m_received += size;
                m_answer.bodyBytes += size;
                break;
            case Reading::Done: break;
        }
        data += used;
        size -= used;
    }
}

void HttpConnection::TakeBody(const char* data, std::size_t size) {
    if (data && m_answer.body.size() < kKeptBody)
        m_answer.body.append(data, std::min(size, kKeptBody - m_answer.body.size()));
    m_received += size;
    m_answer.bodyBytes += size;
    m_left -= std::min<std::uint64_t>(size, m_left);
    if (m_left == 0) Answered();
}

// The header up to its blank line; returns how many of these bytes were its own.
std::size_t HttpConnection::FeedHeader(const char* data, std::size_t size) {
    const std::size_t before = m_header.size();
    m_header.append(data, std::min(size, kHeaderLimit - before));
    std::size_t end = std::string::npos;
    for (std::size_t lf = m_header.find('\n', before > 2 ? before - 2 : 0); lf != std::string::npos;
         lf = m_header.find('\n', lf + 1)) {
        if (lf + 1 < m_header.size() && m_header[lf + 1] == '\n') end = lf + 2;
        else if (lf + 2 < m_header.size() && m_header[lf + 1] == '\r' && m_header[lf + 2] == '\n') end = lf + 3;
        if (end != std::string::npos) break;
    }
    if (end == std::string::npos) {
        if (m_header.size() >= kHeaderLimit) Fail("the server's answer is not HTTP (its header is too long)");
        return size;
    }
    const std::string header = m_header.substr(0, end);
    m_header.clear();
    const std::size_t used = end - before;

    // "HTTP/1.x 200 OK"
    const std::string_view line = Trimmed(std::string_view(header).substr(0, header.find('\n')));
    const std::size_t space = line.find(' ');
    const std::string_view version = line.substr(0, space);
    const std::string_view code = space == std::string_view::npos ? std::string_view() : line.substr(space + 1, 3);
    if (version.substr(0, 5) != "HTTP/" || code.size() != 3 || !Digits(code) ||
        (line.size() > space + 4 && line[space + 4] != ' ')) {
        Fail("the server's answer is not HTTP");
        return used;
    }
    m_answer = {};
    m_answer.status = std::stoi(std::string(code));
    m_answer.reason = std::string(Trimmed(line.substr(std::min(line.size(), space + 4))));

    std::vector<std::pair<std::string, std::string>> fields;
    std::string_view rest = std::string_view(header).substr(header.find('\n') + 1);
    while (!rest.empty()) {
        const std::size_t lf = rest.find('\n');
        const std::string_view field = rest.substr(0, lf);
        rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
        const std::size_t colon = field.find(':');
        if (colon != std::string_view::npos)
            fields.emplace_back(LowerText(Trimmed(field.substr(0, colon))),
                                std::string(Trimmed(field.substr(colon + 1))));
    }
    const std::vector<std::string> connection = Elements(fields, "connection");
    const auto says = [&connection](const char* token) {
        return std::find(connection.begin(), connection.end(), token) != connection.end();
    };
    m_answer.keepAlive = version == "HTTP/1.0" ? says("keep-alive") : !says("close");

    if (m_answer.status >= 100 && m_answer.status < 200) return used;  // 100 Continue: the answer follows
    const std::vector<std::string> codings = Elements(fields, "transfer-encoding");
    const std::vector<std::string> lengths = Elements(fields, "content-length");
    if (m_answer.status == 204 || m_answer.status == 304) {
        m_left = 0;
        m_reading = Reading::Length;
        TakeBody(nullptr, 0);
    } else if (!codings.empty()) {
        if (codings.back() != "chunked") {
            m_answer.keepAlive = false;
            m_reading = Reading::UntilClose;
        } else {
            m_chunks = std::make_unique<ChunkedBody>();
            m_reading = Reading::Chunked;
        }
    } else if (!lengths.empty()) {
        const bool same = std::all_of(lengths.begin(), lengths.end(), [&](const std::string& l) { return l == lengths[0]; });
        if (!same || !Digits(lengths[0]) || lengths[0].size() > 18) {
            Fail("the server's answer is malformed (its Content-Length)");
            return used;
        }
        m_left = std::stoull(lengths[0]);
        m_reading = Reading::Length;
        if (m_left == 0) TakeBody(nullptr, 0);
    } else {
        m_answer.keepAlive = false;
        m_reading = Reading::UntilClose;
    }
    return used;
}

void HttpConnection::Answered() {
    if (m_waiting == 0) {
        Fail("the server answered a request never made");
        return;
    }
    --m_waiting;
    const HttpAnswer answer = std::move(m_answer);
    m_answer = {};
    m_chunks.reset();
    // Nothing after an answer that ends the connection is read as another.
    m_reading = answer.keepAlive ? Reading::Header : Reading::Done;
    if (m_events.answered) m_events.answered(answer);
}

}  // namespace brisko
