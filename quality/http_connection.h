// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One HTTP/1.1 client connection kept open between requests, as the quality run talks
// to brisko-testserver: requests go out one behind another without waiting for the
// answers (pipelined), an upload's body is made as fast as the socket takes it, and
// the answers are read in order, their bodies counted and dropped.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/tcp_socket.h"

namespace brisko {

class ChunkedBody;

struct HttpAnswer {
    int status = 0;
    std::string reason;          // "Not Found"
    bool keepAlive = false;      // the server reads another request after this one
    std::uint64_t bodyBytes = 0;
    std::string body;            // its first bytes: the probe's "x", an upload's count
    // "404 Not Found", printable.
    std::string StatusText() const;
};

struct HttpConnectionEvents {
    std::function<void()> connected;
    std::function<void(const HttpAnswer&)> answered;  // the whole answer to the oldest request
    // The connection has ended without Close, in words for people: the system's error,
    // the server ending it, an answer that is not HTTP. Nothing follows.
    std::function<void(const std::string& why)> failed;
};

class HttpConnection {
public:
    // An answer's header that has not ended by then is no header brisko-testserver sends.
    static constexpr std::size_t kHeaderLimit = 16 * 1024;

    HttpConnection(TcpSocketFactory& sockets, std::string host, std::uint16_t port, HttpConnectionEvents events);
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    void Connect();
    // Queued behind the requests before it; sent once connected.
    void Get(const std::string& target);
    void Post(const std::string& target, std::uint64_t bodyBytes);
    // Ends the connection without a word; safe inside its own events.
    void Close();

    bool Connected() const { return m_state == State::Connected; }
    // Requests whose whole answer has not arrived.
    std::size_t Waiting() const { return m_waiting; }
    // Body bytes of the answers so far.
    std::uint64_t BodyBytesReceived() const { return m_received; }
    // Body bytes of the requests that the server has received, as far as the system
    // tells; elsewhere those the system has taken.
    std::uint64_t BodyBytesDelivered() const;

private:
    enum class State { Idle, Connecting, Connected, Ended };
    enum class Reading { Header, Length, Chunked, UntilClose, Done };
    struct Outgoing {
        std::string header;
        std::uint64_t body = 0;
    };
    void OnConnected();
    void OnData();
    void OnError(const std::string& description);
    void OnClosed();
    // Reads what is pending, at most limit bytes; returns how many.
    std::uint64_t TakePending(std::uint64_t limit);
    void Feed(const char* data, std::size_t size);
    std::size_t FeedHeader(const char* data, std::size_t size);
    void TakeBody(const char* data, std::size_t size);
    void Answered();
    void Fail(const std::string& why);
    void Queue(Outgoing outgoing);
    void Pump();
    void Give(const std::string& bytes, std::size_t headerBytes);
    void OnSendComplete();

    TcpSocketFactory& m_sockets;
    std::string m_host;
    std::uint16_t m_port;
    HttpConnectionEvents m_events;
    std::unique_ptr<TcpSocket> m_socket;
    State m_state = State::Idle;

    // Sending.
    std::deque<Outgoing> m_outgoing;
    bool m_sendBusy = false;          // SendData given bytes the system has not all taken
    std::size_t m_busyBytes = 0, m_busyHeaderBytes = 0;
    std::uint64_t m_given = 0;        // every byte given to SendData
    std::uint64_t m_taken = 0;        // of those, what the system has taken all of
    std::uint64_t m_headerGiven = 0, m_headerTaken = 0;
    std::optional<std::uint64_t> m_deliveredAtEnd;  // a closed socket tells no more

    // Reading.
    std::size_t m_waiting = 0;
    Reading m_reading = Reading::Header;
    std::string m_header;
    HttpAnswer m_answer;
    std::uint64_t m_left = 0;  // of a body of known length
    std::unique_ptr<ChunkedBody> m_chunks;
    std::uint64_t m_received = 0;
    std::unique_ptr<char[]> m_buffer;
};

// The request line and header fields; bodyBytes for a POST.
std::string RequestHeader(const std::string& method, const std::string& target, const std::string& host,
                          std::uint16_t port, std::optional<std::uint64_t> bodyBytes = std::nullopt);

}  // namespace brisko
