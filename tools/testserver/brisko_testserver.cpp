// SPDX-License-Identifier: GPL-3.0-or-later
// brisko-testserver: serves Brisko's three download test files and a page for its web
// tests over HTTP on a LAN or on this machine, and imitates the broken servers a
// download client must survive.
#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netdb.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "speedtest/download_files.h"

namespace {

constexpr const char* kUsage = R"(Usage: brisko-testserver [options]

Serves Brisko's download test files and a page for its web tests over HTTP,
so that the Data Speed Tests window and the web test windows can measure a LAN
or be tested on this machine. Point Brisko at it with
  BRISKO_TEST_SERVER=ADDRESS:PORT   (an IPv6 address bracketed: [::1]:8080)
The files (any content, the sizes of the public ones):
  /5MB.zip   5242880 bytes   (Quick)
  /10MB.zip  10485760 bytes  (Medium)
  /50MB.zip  52428800 bytes  (Long)
The web test page (the web test windows' first address when BRISKO_TEST_SERVER
is set):
  /default.html       a large page with many images, each its own request
                      (?images=N&delay=MS changes them for one load;
                      &max-age=S lets clients keep its images S seconds)
  /images/K.bmp       image K (?delay=MS: answered after MS milliseconds;
                      ?max-age=S: cacheable for S seconds, else never)
The network quality test's paths (never changed by --stream):
  /quality/probe      one byte, answered at once however busy the server is
  /quality/download   1 TiB, in effect endless (?bytes=N: N bytes instead)
  /quality/upload     POST a body (Content-Length or chunked): it is read and
                      dropped, and the answer is the number of bytes received
HTTP/1.1 connections stay open for further requests unless the request says
"Connection: close"; HTTP/1.0 ones only when it says "Connection: keep-alive".
With a failure mode, every connection serves one request, as HTTP/1.0 does.

Options:
  --listen ADDRESS     IPv4 or IPv6 address to listen on, the latter bracketed
                       or not ([::1] or ::1); by default 127.0.0.1 and ::1.
                       For LAN use, :: listens on every interface over IPv6
                       and IPv4 (IPv4 alone where the system has no IPv6),
                       0.0.0.0 on every interface over IPv4 only
  --port N             TCP port (default 8080; 0 picks a free one)
  --max-connections N  connections open at once (default 512); beyond them
                       the one longest without its request is closed, or the
                       newcomer answered 503 Service Unavailable
  --idle-timeout S     close a connection that has not sent its request (or,
                       kept open, its next one) after S seconds, takes nothing
                       of its answer or sends nothing of its upload for S
                       seconds, or stays open S seconds after it (default 10)
  --rate BYTES         send the body (files and quality downloads) at this
                       many bytes per second
  --stream N           serve N bytes at every path instead of the files;
                       "endless" sends until the client goes (no length)
  --quiet              print only the listening line
  --page-images N      images on /default.html (default 60, at most 1000)
  --image-delay MS     answer each image after MS milliseconds (default 0,
                       at most 60000)

Failure modes (for testing clients):
  --status CODE        answer every request with 404 Not Found, 302 Found
                       or 500 Internal Server Error
  --no-length          send no Content-Length header
  --no-type            send no Content-Type header
  --length TEXT        send TEXT as the Content-Length value (-1, abc, ...)
  --length-twice A,B   send two Content-Length headers, A and then B
  --chunked            send the body in chunks (Transfer-Encoding: chunked),
                       without a Content-Length
  --lf-only            end the header lines with LF alone
  --split-at N[,N...]  write the header in pieces cut at these byte offsets
  --split-pause MS     pause between those pieces (default 100)
  --short N            send only N body bytes, then close the connection
  --silent             accept and read requests but never answer
  --not-http           answer with a line that is not HTTP, then close

Sizes and rates take the suffixes k, M and G (1024, 1048576, 1073741824).
The first line printed is "listening on ADDRESS:PORT"; a second address, IPv4
on an IPv6 socket or the lack of IPv6 follow on lines of their own; then one
line per request and one when it ends. Stop the server with Ctrl+C.
)";

struct Options {
    std::string listen;  // empty: the loopback addresses, 127.0.0.1 and ::1
    std::string origin;  // "address:port" of the first socket, for a Location
    int port = 8080;
    int maxConnections = 512;
    int idleTimeoutS = 10;
    int status = 200;
    bool noLength = false;
    bool noType = false;
    std::optional<std::string> lengthText;
    std::optional<std::pair<std::string, std::string>> lengthTwice;
    bool chunked = false;
    bool lfOnly = false;
    std::vector<std::size_t> splitAt;
    int splitPauseMs = 100;
    std::optional<std::uint64_t> shortBody;
    bool silent = false;
    bool notHttp = false;
    std::uint64_t rate = 0;  // 0: as fast as the connection takes it
    std::optional<std::uint64_t> stream;
    bool endless = false;
    bool quiet = false;
    int pageImages = 60;
    int imageDelayMs = 0;
};

// Failure modes imitate servers that a client cannot keep a connection to, so with
// any of them a connection serves one request; so does an endless stream, which has
// no length to end it.
bool OneRequestPerConnection(const Options& o) {
    return o.status != 200 || o.noLength || o.noType || o.lengthText || o.lengthTwice || o.chunked || o.lfOnly ||
           !o.splitAt.empty() || o.shortBody || o.silent || o.notHttp || o.endless;
}

constexpr int kMaxPageImages = 1000;
constexpr int kMaxImageDelayMs = 60000;
constexpr int kMaxImageAge = 86400;

// Log lines go through a bounded queue to one writer thread, so that output nobody
// reads (a full pipe, a stopped terminal) holds up no connection; lines beyond the
// queue are dropped, and the log says how many.
class LogQueue {
public:
    void Push(const std::string& line) noexcept {
        std::lock_guard<std::mutex> lock(m_lock);
        try {
            if (m_lines.size() >= kMaxLines) {
                ++m_dropped;
                return;
            }
            m_lines.push_back({line, m_dropped});
            m_dropped = 0;
        } catch (...) {
            ++m_dropped;
        }
        m_wake.notify_one();
    }

    [[noreturn]] void WriteForever() {
        std::deque<Entry> lines;
        for (;;) {
            std::size_t droppedAfter = 0;
            {
                std::unique_lock<std::mutex> lock(m_lock);
                m_wake.wait(lock, [&] { return !m_lines.empty() || m_dropped > 0; });
                lines.swap(m_lines);
                droppedAfter = std::exchange(m_dropped, 0);
            }
            for (const Entry& entry : lines) {
                SayDropped(entry.droppedBefore);
                std::fputs(entry.line.c_str(), stdout);
                std::fputc('\n', stdout);
            }
            SayDropped(droppedAfter);
            std::fflush(stdout);
            lines.clear();
        }
    }

private:
    struct Entry {
        std::string line;
        std::size_t droppedBefore;
    };
    static constexpr std::size_t kMaxLines = 1000;

    static void SayDropped(std::size_t dropped) {
        if (dropped > 0) std::fprintf(stdout, "%zu log lines dropped: the output was not read in time\n", dropped);
    }

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<Entry> m_lines;
    std::size_t m_dropped = 0;
};

// Never destroyed: its writer outlives main.
LogQueue& g_log = *new LogQueue;

void Log(const std::string& line) { g_log.Push(line); }

// A request line as the log shows it: bytes a terminal would act on escaped, and cut
// short, so that a client can neither drive the terminal nor flood the log.
std::string Shown(const std::string& line) {
    constexpr std::size_t kMaxShown = 200;
    std::string shown;
    for (const unsigned char c : line) {
        if (shown.size() >= kMaxShown) return shown + "... (" + std::to_string(line.size()) + " bytes)";
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            shown += static_cast<char>(c);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            shown += escaped;
        }
    }
    return shown;
}

[[noreturn]] void UsageError(const std::string& message) {
    std::fprintf(stderr, "brisko-testserver: %s\nTry brisko-testserver --help.\n", message.c_str());
    std::exit(2);
}

std::optional<std::uint64_t> ParseSize(const std::string& text) {
    if (text.empty() || text[0] < '0' || text[0] > '9') return std::nullopt;
    std::size_t used = 0;
    unsigned long long value = 0;
    try {
        value = std::stoull(text, &used);
    } catch (...) {
        return std::nullopt;
    }
    std::string suffix = text.substr(used);
    std::uint64_t unit = 1;
    if (suffix == "k" || suffix == "K")
        unit = 1024;
    else if (suffix == "m" || suffix == "M")
        unit = 1024 * 1024;
    else if (suffix == "g" || suffix == "G")
        unit = 1024ull * 1024 * 1024;
    else if (!suffix.empty())
        return std::nullopt;
    if (value > UINT64_MAX / unit) return std::nullopt;
    return value * unit;
}

// A numeric IPv4 or IPv6 address (brackets and a "%zone" allowed) with port, or nothing.
std::optional<sockaddr_storage> NumericAddress(std::string text, std::uint16_t port) {
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') text = text.substr(1, text.size() - 2);
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_PASSIVE;
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (text.empty() || getaddrinfo(text.c_str(), nullptr, &hints, &found) != 0) return std::nullopt;
    sockaddr_storage address{};
    std::memcpy(&address, found->ai_addr, std::min<std::size_t>(found->ai_addrlen, sizeof address));
    freeaddrinfo(found);
    if (address.ss_family == AF_INET)
        reinterpret_cast<sockaddr_in*>(&address)->sin_port = htons(port);
    else
        reinterpret_cast<sockaddr_in6*>(&address)->sin6_port = htons(port);
    return address;
}

Options ParseOptions(int argc, char** argv) {
    Options o;
    auto value = [&](int& i, const std::string& name) -> std::string {
        if (i + 1 >= argc) UsageError(name + " needs a value");
        return argv[++i];
    };
    auto size = [&](int& i, const std::string& name) {
        const std::string text = value(i, name);
        const auto parsed = ParseSize(text);
        if (!parsed) UsageError(name + " takes a number of bytes, not \"" + text + "\"");
        return *parsed;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg == "--listen") {
            o.listen = value(i, arg);
            if (!NumericAddress(o.listen, 0))
                UsageError("--listen takes an IPv4 or IPv6 address such as 127.0.0.1, ::1 or [::1], not \"" +
                           o.listen + "\"");
        } else if (arg == "--port") {
            const auto port = ParseSize(value(i, arg));
            if (!port || *port > 65535) UsageError("--port takes a number from 0 to 65535");
            o.port = static_cast<int>(*port);
        } else if (arg == "--max-connections") {
            const auto most = ParseSize(value(i, arg));
            if (!most || *most == 0 || *most > 100000) UsageError("--max-connections takes a number from 1 to 100000");
            o.maxConnections = static_cast<int>(*most);
        } else if (arg == "--idle-timeout") {
            const auto seconds = ParseSize(value(i, arg));
            if (!seconds || *seconds == 0 || *seconds > 3600) UsageError("--idle-timeout takes seconds from 1 to 3600");
            o.idleTimeoutS = static_cast<int>(*seconds);
        } else if (arg == "--status") {
            const std::string code = value(i, arg);
            if (code != "404" && code != "302" && code != "500") UsageError("--status takes 404, 302 or 500");
            o.status = std::stoi(code);
        } else if (arg == "--no-length") {
            o.noLength = true;
        } else if (arg == "--no-type") {
            o.noType = true;
        } else if (arg == "--length") {
            o.lengthText = value(i, arg);
        } else if (arg == "--length-twice") {
            const std::string pair = value(i, arg);
            const std::size_t comma = pair.find(',');
            if (comma == std::string::npos || comma == 0 || comma + 1 == pair.size())
                UsageError("--length-twice takes two values, such as 100,5242880");
            o.lengthTwice.emplace(pair.substr(0, comma), pair.substr(comma + 1));
        } else if (arg == "--chunked") {
            o.chunked = true;
        } else if (arg == "--lf-only") {
            o.lfOnly = true;
        } else if (arg == "--split-at") {
            std::stringstream list(value(i, arg));
            for (std::string item; std::getline(list, item, ',');) {
                const auto at = ParseSize(item);
                if (!at || *at == 0) UsageError("--split-at takes byte offsets above 0, such as 5,20");
                o.splitAt.push_back(*at);
            }
            std::sort(o.splitAt.begin(), o.splitAt.end());
        } else if (arg == "--split-pause") {
            o.splitPauseMs = static_cast<int>(size(i, arg));
        } else if (arg == "--short") {
            o.shortBody = size(i, arg);
        } else if (arg == "--silent") {
            o.silent = true;
        } else if (arg == "--not-http") {
            o.notHttp = true;
        } else if (arg == "--rate") {
            o.rate = size(i, arg);
            if (o.rate == 0) UsageError("--rate must be above 0");
        } else if (arg == "--stream") {
            const std::string text = value(i, arg);
            if (text == "endless") {
                o.endless = true;
            } else {
                const auto parsed = ParseSize(text);
                if (!parsed) UsageError("--stream takes a number of bytes or \"endless\"");
                o.stream = *parsed;
            }
        } else if (arg == "--quiet") {
            o.quiet = true;
        } else if (arg == "--page-images") {
            const auto images = ParseSize(value(i, arg));
            if (!images || *images > kMaxPageImages)
                UsageError("--page-images takes a number from 0 to " + std::to_string(kMaxPageImages));
            o.pageImages = static_cast<int>(*images);
        } else if (arg == "--image-delay") {
            const auto delay = ParseSize(value(i, arg));
            if (!delay || *delay > kMaxImageDelayMs)
                UsageError("--image-delay takes milliseconds from 0 to " + std::to_string(kMaxImageDelayMs));
            o.imageDelayMs = static_cast<int>(*delay);
        } else {
            UsageError("unknown option \"" + arg + "\"");
        }
    }
    return o;
}

// A send that times out (the socket's send timeout) gives up only when the client
// took nothing since the last one: slow readers are served, gone ones let go.
bool SendAll(int fd, const char* data, std::size_t size) {
    int unacked = INT_MAX;
    while (size > 0) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            int queued = 0;
            if ((errno == EAGAIN || errno == EWOULDBLOCK) && ioctl(fd, SIOCOUTQ, &queued) == 0 && queued < unacked) {
                unacked = queued;
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Waits until the client goes away, discarding whatever it sends; no longer than the
// socket's receive timeout when it has one, as a client that never closes (or never
// stops sending) would otherwise hold its thread for ever.
void WaitForClose(int fd) {
    timeval timeout{};
    socklen_t size = sizeof timeout;
    const bool bounded =
        getsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, &size) == 0 && (timeout.tv_sec > 0 || timeout.tv_usec > 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout.tv_sec) +
                          std::chrono::microseconds(timeout.tv_usec);
    char buffer[4096];
    for (;;) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || (bounded && std::chrono::steady_clock::now() > deadline)) return;
    }
}

const std::vector<char>& BodyPattern() {
    static const std::vector<char> pattern = [] {
        std::vector<char> p(1 << 20);
        std::uint32_t x = 2463534242u;
        for (char& c : p) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            c = static_cast<char>(x);
        }
        return p;
    }();
    return pattern;
}

// name=N in a query string, if it is there as a number from 0 to limit.
std::optional<int> QueryNumber(const std::string& query, const std::string& name, int limit) {
    std::stringstream pairs(query);
    for (std::string pair; std::getline(pairs, pair, '&');) {
        if (pair.rfind(name + "=", 0) != 0) continue;
        const std::string text = pair.substr(name.size() + 1);
        if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        const int value = std::stoi(text);
        return value <= limit ? std::optional<int>(value) : std::nullopt;
    }
    return std::nullopt;
}

constexpr int kImageWidth = 96;
constexpr int kImageHeight = 64;

void PutLittleEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
}

// Image K: an uncompressed 24-bit picture, a colour band of its own shading to white.
std::string ImageBytes(int index) {
    const std::uint32_t rowBytes = kImageWidth * 3;  // a multiple of 4: no row padding
    const std::uint32_t pixelBytes = rowBytes * kImageHeight;
    std::string bmp = "BM";
    PutLittleEndian(bmp, 54 + pixelBytes, 4);
    PutLittleEndian(bmp, 0, 4);
    PutLittleEndian(bmp, 54, 4);
    PutLittleEndian(bmp, 40, 4);
    PutLittleEndian(bmp, kImageWidth, 4);
    PutLittleEndian(bmp, kImageHeight, 4);
    PutLittleEndian(bmp, 1, 2);
    PutLittleEndian(bmp, 24, 2);
    PutLittleEndian(bmp, 0, 4);
    PutLittleEndian(bmp, pixelBytes, 4);
    PutLittleEndian(bmp, 2835, 4);
    PutLittleEndian(bmp, 2835, 4);
    PutLittleEndian(bmp, 0, 4);
    PutLittleEndian(bmp, 0, 4);
    // A hue per image, around the colour wheel in steps that do not repeat soon.
    const int hue = (index * 47) % 360;
    const auto channel = [hue](int offset) {
        const int h = (hue + offset) % 360;
        const int distance = std::min(h, 360 - h);
        return distance >= 120 ? 0 : distance <= 60 ? 255 : (120 - distance) * 255 / 60;
    };
    const int red = channel(0), green = channel(240), blue = channel(120);
    for (int y = 0; y < kImageHeight; ++y)
        for (int x = 0; x < kImageWidth; ++x) {
            const int fade = x * 255 / (kImageWidth - 1);  // toward white across the picture
            for (int c : {blue, green, red}) bmp += static_cast<char>(c + (255 - c) * fade / 255);
        }
    return bmp;
}

std::string TestPage(int images, int delayMs, std::optional<int> maxAge) {
    const std::string query =
        "?delay=" + std::to_string(delayMs) + (maxAge ? "&max-age=" + std::to_string(*maxAge) : "");
    std::string html =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Brisko web test page</title>\n"
        "<style>body{font-family:sans-serif;margin:12px}img{margin:2px}p{max-width:60em}</style></head>\n"
        "<body>\n<h1>Brisko web test page</h1>\n<p>" +
        std::to_string(images) + " images, each fetched with a request of its own and answered after " +
        std::to_string(delayMs) + " ms, served by brisko-testserver.</p>\n<div>\n";
    for (int i = 0; i < images; ++i)
        html += "<img src=\"/images/" + std::to_string(i) + ".bmp" + query + "\" width=\"" +
                std::to_string(kImageWidth) + "\" height=\"" + std::to_string(kImageHeight) + "\" alt=\"image " +
                std::to_string(i) + "\">\n";
    html += "</div>\n";
    // Text as a busy page has it, so that the page itself is of some size.
    for (int i = 0; i < images; ++i)
        html += "<p>Section " + std::to_string(i + 1) +
                ". A web page is the document and every picture, style and script it names; a browser asks "
                "for each of them, several at a time, and the page has loaded once the last has arrived. The "
                "time that takes is what the web test measures, before and after the boost.</p>\n";
    html += "</body></html>\n";
    return html;
}

constexpr const char* kProbePath = "/quality/probe";
constexpr const char* kDownloadPath = "/quality/download";
constexpr const char* kUploadPath = "/quality/upload";
// The quality download's length without ?bytes= (in effect endless), and the most an
// upload may declare.
constexpr std::uint64_t kQualityMost = 1ull << 40;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A request as it came in: its line, its header fields and whatever followed the
// header (the start of a body, or of the next request).
struct Request {
    std::string line, method, target, version;
    std::vector<std::pair<std::string, std::string>> fields;  // names in lower case
    bool complete = false;  // the header came to its end
    std::string rest;

    static Request Parse(const std::string& bytes) {
        Request r;
        r.line = bytes.substr(0, bytes.find_first_of("\r\n"));
        std::istringstream(r.line) >> r.method >> r.target >> r.version;
        std::size_t end = bytes.find("\r\n\r\n"), after = end + 4;
        if (const std::size_t lfOnly = bytes.find("\n\n"); lfOnly < end) end = lfOnly, after = lfOnly + 2;
        r.complete = end != std::string::npos;
        if (!r.complete) return r;
        r.rest = bytes.substr(after);
        std::istringstream lines(bytes.substr(0, end));
        std::string line;
        std::getline(lines, line);
        while (std::getline(lines, line)) {
            const std::size_t colon = line.find(':');
            if (colon == std::string::npos) continue;
            r.fields.emplace_back(Lower(line.substr(0, colon)), Trimmed(line.substr(colon + 1, line.find('\r') - colon - 1)));
        }
        return r;
    }

    std::vector<std::string> Values(const std::string& name) const {
        std::vector<std::string> values;
        for (const auto& [field, value] : fields)
            if (field == name) values.push_back(value);
        return values;
    }

    // Whether a comma-separated field (Connection, Expect) holds token.
    bool Has(const std::string& name, const std::string& token) const {
        for (const std::string& value : Values(name)) {
            std::stringstream items(value);
            for (std::string item; std::getline(items, item, ',');)
                if (Lower(Trimmed(item)) == token) return true;
        }
        return false;
    }

    bool WantsMore() const {
        if (version == "HTTP/1.1") return !Has("connection", "close");
        return version == "HTTP/1.0" && Has("connection", "keep-alive");
    }

    bool HasBody() const {
        if (!Values("transfer-encoding").empty()) return true;
        for (const std::string& length : Values("content-length"))
            if (length.find_first_not_of('0') != std::string::npos) return true;
        return false;
    }
};

// ?bytes=N of a quality download, kQualityMost without it; nothing when N is no
// number up to kQualityMost.
std::optional<std::uint64_t> DownloadBytes(const std::string& query) {
    std::stringstream pairs(query);
    for (std::string pair; std::getline(pairs, pair, '&');) {
        if (pair.rfind("bytes=", 0) != 0) continue;
        const std::string text = pair.substr(6);
        if (text.empty() || text.size() > 13 || text.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        const std::uint64_t value = std::stoull(text);
        return value <= kQualityMost ? std::optional<std::uint64_t>(value) : std::nullopt;
    }
    return kQualityMost;
}

// Counts the data bytes of a chunked body as its pieces arrive.
class ChunkedBody {
public:
    enum class State { More, Done, Bad };

    // Takes the next bytes of the body; once it is done, *used says how many of
    // them were its own.
    State Feed(const char* data, std::size_t size, std::size_t* used) {
        std::size_t at = 0;
        while (at < size) {
            if (m_stage == Stage::Data) {
                const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(m_left, size - at));
                at += n;
                m_left -= n;
                m_count += n;
                if (m_left == 0) m_stage = Stage::DataEnd;
                continue;
            }
            const auto* newline = static_cast<const char*>(std::memchr(data + at, '\n', size - at));
            const std::size_t stop = newline ? static_cast<std::size_t>(newline - data) : size;
            m_line.append(data + at, stop - at);
            at = newline ? stop + 1 : size;
            if (m_line.size() > kMaxLine) return State::Bad;
            if (!newline) break;
            if (!m_line.empty() && m_line.back() == '\r') m_line.pop_back();
            const std::string line = std::exchange(m_line, {});
            if (m_stage == Stage::Size) {
                if (!TakeSize(line)) return State::Bad;
                m_stage = m_left > 0 ? Stage::Data : Stage::Trailer;
            } else if (m_stage == Stage::DataEnd) {
                if (!line.empty()) return State::Bad;
                m_stage = Stage::Size;
            } else if (line.empty()) {
                *used = at;
                return State::Done;
            } else if ((m_trailer += line.size()) > kMaxLine) {
                return State::Bad;
            }
        }
        *used = size;
        return State::More;
    }

    std::uint64_t Count() const { return m_count; }

private:
    enum class Stage { Size, Data, DataEnd, Trailer };
    static constexpr std::size_t kMaxLine = 64 * 1024;

    // The chunk size line: hex digits, then maybe extensions after ";".
    bool TakeSize(const std::string& line) {
        std::size_t at = 0;
        std::uint64_t value = 0;
        for (; at < line.size() && std::isxdigit(static_cast<unsigned char>(line[at])); ++at) {
            if (value > kQualityMost) return false;
            const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(line[at])));
            value = value * 16 + static_cast<std::uint64_t>(c <= '9' ? c - '0' : c - 'a' + 10);
        }
        if (at == 0 || value > kQualityMost) return false;
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
        if (at < line.size() && line[at] != ';') return false;
        m_left = value;
        return true;
    }

    Stage m_stage = Stage::Size;
    std::string m_line;
    std::uint64_t m_left = 0, m_count = 0;
    std::size_t m_trailer = 0;
};

class Connection {
public:
    Connection(int fd, const Options& options, unsigned id) : m_fd(fd), m_o(options), m_id(id) {}

    // Answers one request; when the connection stays open for the next, returns
    // what the client sent after this one.
    std::optional<std::string> Serve(const std::string& bytes) {
        Request request = Request::Parse(bytes);
        Say(request.line.empty() ? "(no request)" : Shown(request.line));
        if (m_o.silent) {
            Say("not answering");
            WaitForClose(m_fd);
            Say("closed by client");
            return std::nullopt;
        }
        if (m_o.notHttp) {
            SendAll(m_fd, "220 Welcome to the file store\r\n", 31);
            Say("answered with a line that is not HTTP");
            return std::nullopt;
        }
        m_keep = !OneRequestPerConnection(m_o) && request.complete && request.WantsMore();
        if (!Respond(request)) return std::nullopt;
        if (m_keep) return std::move(request.rest);
        shutdown(m_fd, SHUT_WR);
        WaitForClose(m_fd);
        return std::nullopt;
    }

private:
    // False when the client went before the answer was out.
    bool Respond(Request& request) {
        const std::size_t question = request.target.find('?');
        const std::string path = request.target.substr(0, question);
        const std::string query = question == std::string::npos ? std::string() : request.target.substr(question + 1);
        const bool headOnly = request.method == "HEAD";
        if (path == kUploadPath) {
            if (request.method != "POST") return Refuse(405, "Method Not Allowed", "POST");
            if (m_o.status != 200) return AnswerStatus();
            return Upload(request);
        }
        if (request.method != "GET" && request.method != "HEAD") return Refuse(405, "Method Not Allowed", "GET, HEAD");
        // A body nobody reads would be taken for the next request.
        if (request.HasBody()) m_keep = false;
        if (m_o.status != 200) return AnswerStatus();
        if (path == kProbePath) return SendPage("text/plain", "x", headOnly);
        if (path == kDownloadPath) {
            const std::optional<std::uint64_t> bytes = DownloadBytes(query);
            if (!bytes) return Refuse(400, "Bad Request");
            return SendFile(*bytes, false, "application/octet-stream", true, headOnly);
        }
        std::optional<std::uint64_t> size;
        if (m_o.stream || m_o.endless) {
            size = m_o.stream.value_or(0);
        } else {
            for (const auto& file : brisko::kTestFiles)
                if (path == file.path) size = static_cast<std::uint64_t>(file.size);
        }
        if (size) return SendFile(*size, m_o.endless, "application/zip", false, headOnly);
        if (path == brisko::kTestPagePath) {
            const int images = QueryNumber(query, "images", kMaxPageImages).value_or(m_o.pageImages);
            const int delay = QueryNumber(query, "delay", kMaxImageDelayMs).value_or(m_o.imageDelayMs);
            const std::optional<int> maxAge = QueryNumber(query, "max-age", kMaxImageAge);
            return SendPage("text/html; charset=utf-8", TestPage(images, delay, maxAge), headOnly);
        }
        if (const std::optional<int> image = ImageNumber(path)) {
            const int delay = QueryNumber(query, "delay", kMaxImageDelayMs).value_or(m_o.imageDelayMs);
            if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            return SendPage("image/bmp", ImageBytes(*image), headOnly, QueryNumber(query, "max-age", kMaxImageAge));
        }
        return Answer(404, "Not Found");
    }

    void Say(const std::string& text) {
        if (!m_o.quiet) Log("request " + std::to_string(m_id) + ": " + text);
    }

    std::string Eol() const { return m_o.lfOnly ? "\n" : "\r\n"; }

    std::string ConnectionField() const { return std::string("Connection: ") + (m_keep ? "keep-alive" : "close") + Eol(); }

    bool AnswerStatus() {
        return Answer(m_o.status, m_o.status == 404 ? "Not Found" : m_o.status == 302 ? "Found" : "Internal Server Error");
    }

    // An answer after which the connection ends: what the client sends next is not
    // read as a request.
    bool Refuse(int code, const std::string& reason, const std::string& allow = "") {
        m_keep = false;
        return Answer(code, reason, allow);
    }

    bool Answer(int code, const std::string& reason, const std::string& allow = "") {
        const std::string body = std::to_string(code) + " " + reason + "\r\n";
        std::string header = "HTTP/1.1 " + std::to_string(code) + " " + reason + Eol();
        header += "Server: brisko-testserver" + Eol();
        if (code == 302) header += "Location: http://" + m_o.origin + "/moved" + Eol();
        if (!allow.empty()) header += "Allow: " + allow + Eol();
        header += "Content-Type: text/plain" + Eol();
        header += "Content-Length: " + std::to_string(body.size()) + Eol();
        header += ConnectionField() + Eol();
        const bool sent = SendHeader(header) && SendAll(m_fd, body.data(), body.size());
        Say("answered " + std::to_string(code));
        return sent;
    }

    // K from "/images/K.bmp".
    static std::optional<int> ImageNumber(const std::string& path) {
        const std::string prefix = "/images/", suffix = ".bmp";
        if (path.size() <= prefix.size() + suffix.size() || path.rfind(prefix, 0) != 0 ||
            path.compare(path.size() - suffix.size(), suffix.size(), suffix) != 0)
            return std::nullopt;
        return QueryNumber("n=" + path.substr(prefix.size(), path.size() - prefix.size() - suffix.size()), "n",
                           kMaxPageImages - 1);
    }

    // The test page and its images: never kept in a cache, so that every test load
    // fetches every part from here, unless the load asks for cacheable images.
    bool SendPage(const std::string& type, const std::string& body, bool headOnly,
                  std::optional<int> maxAge = std::nullopt) {
        std::string header = "HTTP/1.1 200 OK" + Eol();
        header += "Server: brisko-testserver" + Eol();
        header += "Content-Type: " + type + Eol();
        header += "Content-Length: " + std::to_string(body.size()) + Eol();
        header += "Cache-Control: " + (maxAge ? "max-age=" + std::to_string(*maxAge) : "no-store") + Eol();
        header += ConnectionField() + Eol();
        // In one piece unless the header is to be cut: a small answer then goes out in
        // one packet.
        const bool sent = m_o.splitAt.empty() && !headOnly
                              ? SendAll(m_fd, (header + body).data(), header.size() + body.size())
                              : SendHeader(header) && (headOnly || SendAll(m_fd, body.data(), body.size()));
        if (!sent) {
            Say("closed by client");
            return false;
        }
        Say("answered 200, " + std::to_string(headOnly ? 0 : body.size()) + " body bytes");
        return true;
    }

    // Writes the header, cut at the chosen offsets with a pause between pieces.
    bool SendHeader(const std::string& header) {
        std::size_t from = 0;
        for (std::size_t at : m_o.splitAt) {
            if (at >= header.size()) break;
            if (!SendAll(m_fd, header.data() + from, at - from)) return false;
            from = at;
            std::this_thread::sleep_for(std::chrono::milliseconds(m_o.splitPauseMs));
        }
        return SendAll(m_fd, header.data() + from, header.size() - from);
    }

    // A file, a stream or a quality download, framed as the failure modes say.
    bool SendFile(std::uint64_t size, bool endless, const std::string& type, bool noStore, bool headOnly) {
        std::string header = "HTTP/1.1 200 OK" + Eol();
        header += "Server: brisko-testserver" + Eol();
        if (!m_o.noType) header += "Content-Type: " + type + Eol();
        if (m_o.chunked)
            header += "Transfer-Encoding: chunked" + Eol();
        else if (m_o.lengthTwice)
            header += "Content-Length: " + m_o.lengthTwice->first + Eol() + "Content-Length: " +
                      m_o.lengthTwice->second + Eol();
        else if (!m_o.noLength && !endless)
            header += "Content-Length: " + m_o.lengthText.value_or(std::to_string(size)) + Eol();
        if (noStore) header += "Cache-Control: no-store" + Eol();
        header += ConnectionField() + Eol();
        if (!SendHeader(header)) {
            Say("closed by client during the header");
            return false;
        }
        if (headOnly) return true;
        std::uint64_t limit = endless ? UINT64_MAX : size;
        if (m_o.shortBody) limit = std::min(limit, *m_o.shortBody);
        Say("sending " + (endless ? std::string("an endless body") : std::to_string(limit) + " body bytes") +
            (m_o.rate ? " at " + std::to_string(m_o.rate) + " bytes/s" : std::string()));

        const std::vector<char>& pattern = BodyPattern();
        // Paced bodies go out in small slices on a fixed schedule, so the rate holds
        // over any stretch longer than a few milliseconds.
        const std::uint64_t slice =
            m_o.rate ? std::clamp<std::uint64_t>(m_o.rate / 200, 1, 256 * 1024) : pattern.size();
        const auto start = std::chrono::steady_clock::now();
        std::uint64_t sent = 0;
        while (sent < limit) {
            if (m_o.rate) {
                const auto due = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                             std::chrono::duration<double>(double(sent) / double(m_o.rate)));
                std::this_thread::sleep_until(due);
            }
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(slice, limit - sent));
            if (!SendBody(pattern.data(), n)) {
                Say("closed by client after " + std::to_string(sent) + " body bytes");
                return false;
            }
            sent += n;
        }
        if (m_o.shortBody && sent < size) {
            Say("cut short after " + std::to_string(sent) + " body bytes");
        } else {
            const std::string lastChunk = "0" + Eol() + Eol();
            if (m_o.chunked && !SendAll(m_fd, lastChunk.data(), lastChunk.size())) return false;
            Say("finished, " + std::to_string(sent) + " body bytes sent");
        }
        return true;
    }

    // Body bytes as they go out: each piece one chunk when the body is chunked.
    bool SendBody(const char* data, std::size_t size) {
        if (!m_o.chunked) return SendAll(m_fd, data, size);
        char line[24];
        std::snprintf(line, sizeof line, "%zx", size);
        const std::string head = line + Eol();
        return SendAll(m_fd, head.data(), head.size()) && SendAll(m_fd, data, size) &&
               SendAll(m_fd, Eol().data(), Eol().size());
    }

    // A quality upload: the body read as fast as it comes and dropped, then its size
    // as the answer.
    bool Upload(Request& request) {
        const std::vector<std::string> codings = request.Values("transfer-encoding");
        const std::vector<std::string> lengths = request.Values("content-length");
        const bool chunked = !codings.empty();
        std::uint64_t length = 0;
        if (chunked) {
            if (codings.size() != 1 || Lower(codings[0]) != "chunked") return Refuse(501, "Not Implemented");
            // Both framings: the body's end is in doubt, so the connection ends with it.
            if (!lengths.empty()) m_keep = false;
        } else if (!lengths.empty()) {
            const std::optional<std::uint64_t> declared = DeclaredLength(lengths);
            if (!declared) return Refuse(400, "Bad Request");
            if (*declared > kQualityMost) return Refuse(413, "Content Too Large");
            length = *declared;
        }
        if (request.version == "HTTP/1.1" && request.Has("expect", "100-continue")) {
            const std::string goOn = "HTTP/1.1 100 Continue" + Eol() + Eol();
            if (!SendAll(m_fd, goOn.data(), goOn.size())) return false;
        }
        Say("receiving " + (chunked ? std::string("a chunked body") : std::to_string(length) + " body bytes"));
        std::uint64_t received = 0;
        const Received end =
            chunked ? ReceiveChunked(request.rest, &received) : ReceiveLength(length, request.rest, &received);
        const std::string count = std::to_string(received);
        switch (end) {
            case Received::Whole:
                Say("received " + count + " body bytes");
                return SendPage("text/plain", count, false);
            case Received::Gone:
                Say("closed by client after " + count + " body bytes");
                return false;
            case Received::Idle:
                Say("nothing received for " + std::to_string(m_o.idleTimeoutS) + " s after " + count +
                    " body bytes, closed");
                return false;
            case Received::Bad:
                Say("bad chunked body after " + count + " body bytes");
                return Refuse(400, "Bad Request");
        }
        return false;
    }

    // Content-Length, given once or repeated with the same value ("N, N" too); a
    // value too long to be a size reads as one too large.
    static std::optional<std::uint64_t> DeclaredLength(const std::vector<std::string>& values) {
        std::optional<std::uint64_t> length;
        for (const std::string& value : values) {
            std::stringstream items(value);
            for (std::string item; std::getline(items, item, ',');) {
                item = Trimmed(item);
                if (item.empty() || item.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
                item.erase(0, std::min(item.find_first_not_of('0'), item.size() - 1));
                const std::uint64_t n = item.size() > 15 ? UINT64_MAX : std::stoull(item);
                if (length && *length != n) return std::nullopt;
                length = n;
            }
        }
        return length;
    }

    enum class Received { Whole, Gone, Idle, Bad };
    static constexpr std::size_t kReadSize = 256 * 1024, kDropSize = 16 << 20;

    // Reads the next bytes of a body into buffer (on the heap: thread stacks are small),
    // or with no buffer drops them unread, which spares copying them.
    Received ReadSome(std::vector<char>* buffer, std::size_t most, std::size_t* got) {
        if (buffer && buffer->empty()) buffer->resize(kReadSize);
        for (;;) {
            const ssize_t n = buffer ? recv(m_fd, buffer->data(), std::min(most, buffer->size()), 0)
                                     : recv(m_fd, nullptr, most, MSG_TRUNC);
            if (n > 0) {
                *got = static_cast<std::size_t>(n);
                return Received::Whole;
            }
            if (n < 0 && errno == EINTR) continue;
            return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) ? Received::Idle : Received::Gone;
        }
    }

    // A body of length bytes, of which rest holds the first; rest is left with what
    // came after it.
    Received ReceiveLength(std::uint64_t length, std::string& rest, std::uint64_t* received) {
        const auto early = static_cast<std::size_t>(std::min<std::uint64_t>(length, rest.size()));
        rest.erase(0, early);
        *received = early;
        while (*received < length) {
            std::size_t got = 0;
            const auto most = static_cast<std::size_t>(std::min<std::uint64_t>(length - *received, kDropSize));
            if (const Received end = ReadSome(nullptr, most, &got); end != Received::Whole) return end;
            *received += got;
        }
        return Received::Whole;
    }

    // A chunked body, of which rest holds the start; rest is left with what came
    // after it.
    Received ReceiveChunked(std::string& rest, std::uint64_t* received) {
        ChunkedBody body;
        std::size_t used = 0;
        ChunkedBody::State state = body.Feed(rest.data(), rest.size(), &used);
        rest.erase(0, state == ChunkedBody::State::Done ? used : rest.size());
        std::vector<char> buffer;
        while (state == ChunkedBody::State::More) {
            std::size_t got = 0;
            if (const Received end = ReadSome(&buffer, kReadSize, &got); end != Received::Whole) {
                *received = body.Count();
                return end;
            }
            state = body.Feed(buffer.data(), got, &used);
            if (state == ChunkedBody::State::Done) rest.assign(buffer.data() + used, got - used);
        }
        *received = body.Count();
        return state == ChunkedBody::State::Done ? Received::Whole : Received::Bad;
    }

    int m_fd;
    const Options& m_o;
    unsigned m_id;
    bool m_keep = false;  // the connection stays open after this answer
};

using Clock = std::chrono::steady_clock;

// A descriptor closed with its owner.
class Socket {
public:
    explicit Socket(int fd) : m_fd(fd) {}
    Socket(Socket&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Socket& operator=(Socket&&) = delete;
    ~Socket() {
        if (m_fd >= 0) close(m_fd);
    }
    int Fd() const { return m_fd; }
    int Release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// Connections on a thread of their own, counted against --max-connections.
std::atomic<int> g_serving{0};

// Connections kept open after an answer go back to the acceptor, which waits for
// their next request as for a new connection's: between requests they hold no thread.
class KeptConnections {
public:
    struct Kept {
        Socket socket;
        std::string rest;  // what the client sent after its last request
    };

    KeptConnections() : m_wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (m_wake < 0) {
            std::perror("brisko-testserver: eventfd");
            std::exit(1);
        }
    }

    // Readable while connections wait to be taken.
    int WakeFd() const { return m_wake; }

    void Give(Socket socket, std::string rest) {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_kept.push_back({std::move(socket), std::move(rest)});
        }
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(m_wake, &one, sizeof one);
    }

    std::vector<Kept> Take() {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t read = ::read(m_wake, &count, sizeof count);
        std::lock_guard<std::mutex> lock(m_lock);
        return std::exchange(m_kept, {});
    }

private:
    int m_wake;
    std::mutex m_lock;
    std::vector<Kept> m_kept;
};

// Never destroyed: connection threads may give it connections until the end.
KeptConnections& g_kept = *new KeptConnections;

struct Job {
    int fd;
    const Options* options;
    unsigned id;
    std::string request;
};

void* RunJob(void* arg) {
    const std::unique_ptr<Job> job(static_cast<Job*>(arg));
    Socket socket(job->fd);
    try {
        std::optional<std::string> rest = Connection(socket.Fd(), *job->options, job->id).Serve(job->request);
        if (rest) g_kept.Give(std::move(socket), std::move(*rest));
    } catch (const std::exception& e) {
        try {  // the log line itself may find no memory
            if (!job->options->quiet) Log("request " + std::to_string(job->id) + ": given up, " + e.what());
        } catch (...) {
        }
    }
    --g_serving;
    return nullptr;
}

// Accepts connections and reads their requests on one thread, never blocking, so that
// a connection that sends nothing costs a descriptor and no thread. A connection gets
// a thread once its request is in, and comes back here when it is kept open after the
// answer; the whole request must come within the idle timeout.
class Acceptor {
public:
    Acceptor(std::vector<int> listeners, const Options& options)
        : m_listeners(std::move(listeners)),
          m_o(options),
          m_most(std::min(options.maxConnections, DescriptorBudget())),
          m_threadBudget(ThreadBudget()) {
        if (m_most < m_o.maxConnections)
            Say("at most " + std::to_string(m_most) + " connections open at once: the open-file limit has room for no more");
        if (m_threadBudget < m_most)
            Say("serving at most " + std::to_string(m_threadBudget) +
                " connections at once: the memory limit has room for no more threads");
    }

    [[noreturn]] void Run() {
        for (;;) {
            try {
                Step();
            } catch (const std::exception& e) {  // out of memory, most likely: let it pass
                try {
                    Say("brisko-testserver: " + std::string(e.what()));
                } catch (...) {
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
    }

private:
    static constexpr std::size_t kStackSize = 256 * 1024;

    // Connections stay some descriptors short of the limit: the standard streams and the
    // listener have theirs, and the libraries open one now and then.
    static int DescriptorBudget() {
        rlimit files{};
        if (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY) return INT_MAX;
        return static_cast<int>(std::clamp<long long>(static_cast<long long>(files.rlim_cur) - 16, 1, INT_MAX));
    }

    // Under an address-space limit, thread stacks get half of what is left at start and
    // the work itself the other half, as stacks (kept for reuse when their threads end)
    // that took it all would leave every later connection without memory.
    static int ThreadBudget() {
        rlimit space{};
        if (getrlimit(RLIMIT_AS, &space) != 0 || space.rlim_cur == RLIM_INFINITY) return INT_MAX;
        std::ifstream status("/proc/self/status");
        long long usedKb = 0;
        for (std::string word; status >> word && word != "VmSize:";) {}
        status >> usedKb;
        const long long left = static_cast<long long>(space.rlim_cur) - usedKb * 1024;
        return static_cast<int>(std::clamp<long long>(left / 2 / (kStackSize + 4096), 1, INT_MAX));
    }

    struct Pending {
        Socket socket;
        unsigned id;  // 0 for a kept connection until its next request is in
        Clock::time_point due;  // its request must be in by then
        std::string request;
        bool kept = false;  // open after an earlier request
    };

    static constexpr std::size_t kMaxRequest = 64 * 1024;

    // A request's header is in (or all of it that is taken).
    static bool WholeRequest(const std::string& request) {
        return request.size() >= kMaxRequest || request.find("\r\n\r\n") != std::string::npos ||
               request.find("\n\n") != std::string::npos;
    }

    void Say(const std::string& text) const {
        if (!m_o.quiet) Log(text);
    }

    void Step() {
        const Clock::time_point now = Clock::now();
        // All wait as long, so the first to be due are the first accepted.
        while (!m_pending.empty() && m_pending.front().due <= now) {
            Say(Name(m_pending.front()) + ": no " + (m_pending.front().kept ? "further " : "") + "request in " +
                std::to_string(m_o.idleTimeoutS) + " s, closed");
            m_pending.pop_front();
        }
        const bool accepting = now >= m_resumeAt;
        std::vector<pollfd> fds{{g_kept.WakeFd(), POLLIN, 0}};
        if (accepting)
            for (int listener : m_listeners) fds.push_back({listener, POLLIN, 0});
        for (const Pending& p : m_pending) fds.push_back({p.socket.Fd(), POLLIN, 0});
        Clock::time_point wake = m_pending.empty() ? Clock::time_point::max() : m_pending.front().due;
        if (!accepting) wake = std::min(wake, m_resumeAt);
        const int timeoutMs =
            wake == Clock::time_point::max()
                ? -1
                : static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wake - now).count());
        if (poll(fds.data(), fds.size(), timeoutMs) <= 0) return;
        // Requests first, so that a flood of new connections cannot push out one just complete.
        const std::size_t listening = accepting ? m_listeners.size() : 0;
        auto fd = fds.begin() + 1 + static_cast<std::ptrdiff_t>(listening);
        for (auto p = m_pending.begin(); p != m_pending.end(); ++fd)
            p = fd->revents != 0 && Read(*p) ? m_pending.erase(p) : std::next(p);
        for (std::size_t i = 0; i < listening; ++i)
            if (fds[1 + i].revents != 0) AcceptSome(m_listeners[i]);
        if (fds[0].revents != 0) TakeKept();
    }

    // Kept connections wait for their next request, unless it is in already.
    void TakeKept() {
        for (KeptConnections::Kept& kept : g_kept.Take()) {
            Pending p{std::move(kept.socket), 0, Clock::now() + std::chrono::seconds(m_o.idleTimeoutS),
                      std::move(kept.rest), true};
            if (WholeRequest(p.request))
                StartServing(p);
            else
                m_pending.push_back(std::move(p));
        }
    }

    // Takes what the client sent; true when the request is in (or the client gone)
    // and the connection has been handed on.
    bool Read(Pending& p) {
        char buffer[4096];
        const ssize_t n = recv(p.socket.Fd(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return false;
        if (n > 0) {
            p.request.append(buffer, static_cast<std::size_t>(n));
            if (!WholeRequest(p.request)) return false;
        } else if (p.kept && p.request.empty()) {
            return true;  // the client closed a kept connection between requests: nothing to answer
        }
        StartServing(p);
        return true;
    }

    static std::string Name(const Pending& p) {
        return p.id ? "request " + std::to_string(p.id) : std::string("a kept connection");
    }

    void StartServing(Pending& p) {
        if (p.id == 0) p.id = m_nextId++;
        if (g_serving.load() >= m_threadBudget) {
            Refuse(std::move(p.socket), p.id, "no memory for another thread");
            return;
        }
        const timeval idle{m_o.idleTimeoutS, 0};
        setsockopt(p.socket.Fd(), SOL_SOCKET, SO_SNDTIMEO, &idle, sizeof idle);
        if (!m_o.silent) setsockopt(p.socket.Fd(), SOL_SOCKET, SO_RCVTIMEO, &idle, sizeof idle);
        auto job = std::make_unique<Job>(Job{p.socket.Fd(), &m_o, p.id, std::move(p.request)});
        // Small stacks: a memory limit then still leaves room for many connections.
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        pthread_attr_setstacksize(&attributes, kStackSize);
        pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
        pthread_t thread;
        ++g_serving;
        const int failed = pthread_create(&thread, &attributes, RunJob, job.get());
        pthread_attr_destroy(&attributes);
        if (failed != 0) {
            --g_serving;
            Refuse(std::move(p.socket), p.id, std::string("cannot start a thread: ") + std::strerror(failed));
            return;
        }
        job.release();
        p.socket.Release();
    }

    void AcceptSome(int listener) {
        for (int i = 0; i < 64; ++i) {
            Socket socket(accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
            if (socket.Fd() < 0) {
                if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO) continue;
                if (errno == EAGAIN || errno == EWOULDBLOCK) return;
                if (errno != EMFILE && errno != ENFILE && errno != ENOBUFS && errno != ENOMEM) {
                    std::perror("brisko-testserver: accept");
                    std::exit(1);
                }
                // Out of descriptors all the same: free one a connection without its
                // request holds, or wait a little for connections to end.
                if (!m_pending.empty()) {
                    Evict();
                    continue;
                }
                if (!m_starved) Say("brisko-testserver: cannot accept: " + std::string(std::strerror(errno)));
                m_starved = true;
                m_resumeAt = Clock::now() + std::chrono::milliseconds(100);
                return;
            }
            m_starved = false;
            const unsigned id = m_nextId++;
            const int on = 1;
            setsockopt(socket.Fd(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            if (static_cast<int>(m_pending.size()) + g_serving.load() >= m_most) {
                if (m_pending.empty()) {
                    Refuse(std::move(socket), id, "serving " + std::to_string(m_most) + " connections already");
                    continue;
                }
                Evict();
            }
            m_pending.push_back({std::move(socket), id, Clock::now() + std::chrono::seconds(m_o.idleTimeoutS), {}});
        }
    }

    // The connection longest without its request makes room for a newer one.
    void Evict() {
        Say(Name(m_pending.front()) + ": no request yet, closed to make room");
        m_pending.pop_front();
    }

    // An honest answer when there is no room, written without waiting.
    void Refuse(Socket socket, unsigned id, const std::string& why) {
        static const char kBusy[] =
            "HTTP/1.1 503 Service Unavailable\r\nServer: brisko-testserver\r\nContent-Type: text/plain\r\n"
            "Content-Length: 25\r\nRetry-After: 1\r\nConnection: close\r\n\r\n503 Service Unavailable\r\n";
        // What the client sent is read first, or the close would reset the connection.
        char buffer[4096];
        for (int i = 0; i < 16 && recv(socket.Fd(), buffer, sizeof buffer, MSG_DONTWAIT) > 0; ++i) {}
        send(socket.Fd(), kBusy, sizeof kBusy - 1, MSG_DONTWAIT | MSG_NOSIGNAL);
        shutdown(socket.Fd(), SHUT_WR);
        Say("request " + std::to_string(id) + ": answered 503, " + why);
    }

    std::vector<int> m_listeners;
    const Options& m_o;
    std::list<Pending> m_pending;  // in the order accepted
    unsigned m_nextId = 1;
    Clock::time_point m_resumeAt;
    bool m_starved = false;
    int m_most;  // connections open at once
    int m_threadBudget;
};

}  // namespace

// "127.0.0.1:8080" or "[::1]:8080".
std::string Shown(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN + IF_NAMESIZE + 2] = "";
    if (address.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &in.sin_addr, text, sizeof text);
        return std::string(text) + ":" + std::to_string(ntohs(in.sin_port));
    }
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address);
    inet_ntop(AF_INET6, &in6.sin6_addr, text, sizeof text);
    std::string host = text;
    if (char name[IF_NAMESIZE]; in6.sin6_scope_id != 0 && if_indextoname(in6.sin6_scope_id, name))
        host += std::string("%") + name;
    return "[" + host + "]:" + std::to_string(ntohs(in6.sin6_port));
}

// A listening, non-blocking socket on address; with dualStack an IPv6 one that takes
// IPv4 connections too, where the system lets it (*both tells). -1 with errno set.
int Listen(sockaddr_storage& address, bool dualStack, bool* both = nullptr) {
    const int listener = socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0) return -1;
    const int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (address.ss_family == AF_INET6) {
        // Said either way: the system's default (bindv6only) is no one's to rely on.
        const int only = dualStack ? 0 : 1;
        const bool set = setsockopt(listener, IPPROTO_IPV6, IPV6_V6ONLY, &only, sizeof only) == 0;
        if (both) *both = dualStack && set;
    }
    const socklen_t size = address.ss_family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
    socklen_t length = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(listener, SOMAXCONN) != 0 ||
        fcntl(listener, F_SETFL, O_NONBLOCK) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int error = errno;
        close(listener);
        errno = error;
        return -1;
    }
    return listener;
}

// Errors that mean this machine has no IPv6 (or none on that interface), not a fault.
bool NoIpv6(int error) { return error == EAFNOSUPPORT || error == EADDRNOTAVAIL || error == EPROTONOSUPPORT; }

[[noreturn]] void CannotListen(const sockaddr_storage& address, int error) {
    std::fprintf(stderr, "brisko-testserver: cannot listen on %s: %s\n", Shown(address).c_str(), std::strerror(error));
    std::exit(1);
}

struct Listening {
    std::vector<int> sockets;
    std::vector<std::string> lines;  // what to say about them, the first "listening on ..."
};

// The sockets --listen asks for: by default one on each loopback address, both on one
// port; for ::, one that takes IPv6 and IPv4, or IPv4 alone on a machine without IPv6.
Listening OpenListeners(Options& options) {
    const auto port = static_cast<std::uint16_t>(options.port);
    Listening result;
    const auto first = [&](sockaddr_storage& address, bool dualStack, bool* both) {
        const int fd = Listen(address, dualStack, both);
        if (fd < 0) return false;
        result.sockets.push_back(fd);
        result.lines.push_back("listening on " + Shown(address));
        options.origin = Shown(address);
        return true;
    };
    if (!options.listen.empty()) {
        sockaddr_storage address = *NumericAddress(options.listen, port);
        const bool any = address.ss_family == AF_INET6 &&
                         IN6_IS_ADDR_UNSPECIFIED(&reinterpret_cast<sockaddr_in6&>(address).sin6_addr);
        bool both = false;
        if (first(address, any, &both)) {
            if (any && both)
                result.lines.push_back("IPv4 connections too: " + Shown(address) + " takes them");
            else if (any) {  // a system that keeps IPv6 sockets to IPv6: IPv4 on a socket of its own
                sockaddr_storage v4 = *NumericAddress("0.0.0.0", ntohs(reinterpret_cast<sockaddr_in6&>(address).sin6_port));
                const int fd = Listen(v4, false);
                if (fd < 0) CannotListen(v4, errno);
                result.sockets.push_back(fd);
                result.lines.push_back("also listening on " + Shown(v4));
            }
            return result;
        }
        const int error = errno;
        if (!any || !NoIpv6(error)) CannotListen(address, error);
        sockaddr_storage v4 = *NumericAddress("0.0.0.0", port);
        if (!first(v4, false, nullptr)) CannotListen(v4, errno);
        result.lines.push_back("IPv6 is not available here (" + std::string(std::strerror(error)) +
                               "): listening on IPv4 only");
        return result;
    }
    // 127.0.0.1 first, then ::1 on the port it got; a free port may be taken on ::1 by
    // someone else, so a few are tried.
    for (int attempt = 0;; ++attempt) {
        sockaddr_storage v4 = *NumericAddress("127.0.0.1", port);
        if (!first(v4, false, nullptr)) CannotListen(v4, errno);
        sockaddr_storage v6 = *NumericAddress("::1", ntohs(reinterpret_cast<sockaddr_in&>(v4).sin_port));
        const int fd = Listen(v6, false);
        if (fd >= 0) {
            result.sockets.push_back(fd);
            result.lines.push_back("also listening on " + Shown(v6));
            return result;
        }
        const int error = errno;
        if (error == EADDRINUSE && port == 0 && attempt < 10) {
            close(result.sockets.back());
            result = {};
            continue;
        }
        result.lines.push_back(std::string(NoIpv6(error) ? "IPv6 is not available here" : "not on [::1]") + " (" +
                               std::strerror(error) + "): listening on IPv4 only");
        return result;
    }
}

int main(int argc, char** argv) {
    Options options = ParseOptions(argc, argv);
    signal(SIGPIPE, SIG_IGN);
    // Every connection costs a descriptor: take as many as the system allows.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    const Listening listening = OpenListeners(options);
    std::thread([] { g_log.WriteForever(); }).detach();
    for (const std::string& line : listening.lines) Log(line);

    BodyPattern();
    Acceptor(listening.sockets, options).Run();
}
