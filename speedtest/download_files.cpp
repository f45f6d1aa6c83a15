// SPDX-License-Identifier: GPL-3.0-or-later
#include "speedtest/download_files.h"

#include <algorithm>

namespace brisko {

namespace {

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool IsIpv4(std::string_view text) {
    int parts = 0;
    while (parts < 4) {
        const std::size_t dot = text.find('.');
        const std::string_view part = text.substr(0, dot);
        if (part.empty() || part.size() > 3 ||
            !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
            std::stoi(std::string(part)) > 255)
            return false;
        ++parts;
        if (dot == std::string_view::npos) break;
        text.remove_prefix(dot + 1);
    }
    return parts == 4 && text.find('.') == std::string_view::npos;
}

// The 16-bit groups of one side of "::" (an IPv4 address at the end counts two), or -1.
int Groups(std::string_view text, bool ipv4Allowed) {
    if (text.empty()) return 0;
    int groups = 0;
    for (;;) {
        const std::size_t colon = text.find(':');
        const std::string_view group = text.substr(0, colon);
        if (colon == std::string_view::npos && ipv4Allowed && group.find('.') != std::string_view::npos)
            return IsIpv4(group) ? groups + 2 : -1;
        if (group.empty() || group.size() > 4 || !std::all_of(group.begin(), group.end(), IsHexDigit)) return -1;
        ++groups;
        if (colon == std::string_view::npos) return groups;
        text.remove_prefix(colon + 1);
    }
}

bool IsIpv6(std::string_view text) {
    const std::size_t percent = text.find('%');
    if (percent != std::string_view::npos) {
        const std::string_view zone = text.substr(percent + 1);
        if (zone.empty() || zone.find_first_of("%[]/ \t\r\n") != std::string_view::npos) return false;
        text = text.substr(0, percent);
    }
    const std::size_t gap = text.find("::");
    if (gap == std::string_view::npos) return Groups(text, true) == 8;
    if (text.find("::", gap + 1) != std::string_view::npos) return false;
    const int head = Groups(text.substr(0, gap), false);
    const int tail = Groups(text.substr(gap + 2), true);
    return head >= 0 && tail >= 0 && head + tail <= 7;
}

bool IsHostName(std::string_view host) {
    return !host.empty() && std::none_of(host.begin(), host.end(), [](unsigned char c) {
        return c <= ' ' || c == 0x7f || std::string_view("/\\[]@?#%:").find(static_cast<char>(c)) != std::string_view::npos;
    });
}

std::optional<std::uint16_t> Port(std::string_view text) {
    if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), [](char c) {
            return c >= '0' && c <= '9';
        }))
        return std::nullopt;
    const long value = std::stol(std::string(text));
    if (value < 1 || value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::optional<ServerAddress> Refuse(std::string* problem, std::string why) {
    if (problem) *problem = std::move(why);
    return std::nullopt;
}

}  // namespace

std::optional<ServerAddress> ParseServer(std::string_view text, std::string* problem) {
    const std::string quoted = "\"" + std::string(text) + "\"";
    if (text.empty()) return Refuse(problem, "it is empty");
    if (text.find("://") != std::string_view::npos)
        return Refuse(problem, "it names the server alone, without http:// or a path");
    ServerAddress address;
    std::string_view port;
    bool hasPort = false;
    if (text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) return Refuse(problem, "the [ of " + quoted + " has no ]");
        const std::string_view inside = text.substr(1, close - 1);
        if (!IsIpv6(inside))
            return Refuse(problem, "\"" + std::string(inside) + "\" in the brackets is not an IPv6 address");
        address.host = inside;
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && rest.front() != ':')
            return Refuse(problem, "only a colon and a port may follow the ] of " + quoted);
        hasPort = !rest.empty();
        if (hasPort) port = rest.substr(1);
    } else {
        const std::size_t colon = text.find(':');
        if (colon != std::string_view::npos && text.find(':', colon + 1) != std::string_view::npos)
            return Refuse(problem, "an IPv6 address goes in brackets, as [address] or [address]:port");
        const std::string_view host = text.substr(0, colon);
        if (host.empty()) return Refuse(problem, "there is no host before the colon");
        if (!IsHostName(host)) return Refuse(problem, "\"" + std::string(host) + "\" is not a host name or address");
        address.host = host;
        hasPort = colon != std::string_view::npos;
        if (hasPort) port = text.substr(colon + 1);
    }
    if (hasPort) {
        if (port.empty()) return Refuse(problem, "the colon has no port after it");
        const std::optional<std::uint16_t> number = Port(port);
        if (!number) return Refuse(problem, "the port must be a number from 1 to 65535, not \"" + std::string(port) + "\"");
        address.port = *number;
    }
    return address;
}

bool IsValidServer(const std::string& server) { return ParseServer(server).has_value(); }

std::string BadServerProblem(const std::string& server) {
    std::string why;
    ParseServer(server, &why);
    return std::string(kTestServerVariable) + "=\"" + server + "\" is not usable: " + why +
           ". It takes host, host:port, [IPv6 address] or [IPv6 address]:port (for example "
           "192.168.1.10:8080 or [fd00::10]:8080).";
}

std::string BracketedHost(const std::string& host) {
    return host.find(':') == std::string::npos ? host : "[" + host + "]";
}

std::string HostAndPort(const std::string& host, std::uint16_t port, bool omitPort80) {
    return BracketedHost(host) + (omitPort80 && port == 80 ? "" : ":" + std::to_string(port));
}

std::string HostLineValue(const std::string& host, std::uint16_t port) {
    const std::size_t percent = host.find(':') == std::string::npos ? std::string::npos : host.find('%');
    return HostAndPort(host.substr(0, percent), port, true);
}

TestFileTags MakeTestFileTags(const char* serverOverride) {
    TestFileTags result;
    std::string server = kTestFileHost;
    if (serverOverride && *serverOverride) {
        if (const std::optional<ServerAddress> address = ParseServer(serverOverride))
            server = HostAndPort(address->host, address->port, true);
        else
            result.problem = BadServerProblem(serverOverride) + " The public test files are used instead.";
    }
    for (std::size_t i = 0; i < kTestFiles.size(); ++i) result.tags[i] = server + kTestFiles[i].path;
    return result;
}

}  // namespace brisko
