// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TCP client socket with the surface of the Winsock control: connect to a host and
// port, the remote host, send, take pending data, close; connect, data-arrival,
// send-complete, error and close events. Back ends: TcpSocketQt (qt/, a non-blocking socket watched by
// Qt's event loop), TcpSocketWin32 (win32/, Winsock).
// DesktopServices (platform/services.h) owns the factory; whoever creates a socket owns that socket.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/error.h"

namespace brisko {

// Events run on the thread that owns the socket, between other events, never
// nested inside a call the program made on the socket.
struct TcpSocketEvents {
    std::function<void()> connected;
    std::function<void()> dataArrival;  // pending data can be taken now
    std::function<void(long number, const std::string& description)> error;
    std::function<void()> closed;       // the peer ended the connection
    // Everything given to SendData has gone to the system (the control's SendComplete):
    // one who sends much gives the next piece then, and never holds more than one here.
    std::function<void()> sendComplete;
};

class TcpSocket {
public:
    virtual ~TcpSocket() = default;
    virtual void SetEvents(TcpSocketEvents events) = 0;
    // Starts connecting; the outcome arrives as a connected or error event.
    virtual void Connect(const std::string& host, std::uint16_t port) = 0;
    // The host text given to the last Connect.
    virtual std::string RemoteHost() const = 0;
    virtual Status SendData(const std::string& data) = 0;
    // Bytes given to SendData that the peer has not acknowledged yet: those still held
    // here and those in the system's send queue. Empty where the system does not tell
    // (a send buffer of megabytes would otherwise count as delivered).
    virtual std::optional<std::size_t> UnacknowledgedBytes() const = 0;
    // Moves up to size pending bytes into buffer; returns how many (0: none pending).
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
    // As Read, for bytes nobody looks at: dropped, where the system can, without a copy.
    virtual std::size_t Discard(std::size_t size) = 0;
    // Closes at once, dropping whatever is pending; harmless when not connected.
    virtual void Close() = 0;
};

// Each window that talks to a server owns its own socket.
class TcpSocketFactory {
public:
    virtual ~TcpSocketFactory() = default;
    virtual std::unique_ptr<TcpSocket> Create() = 0;
};

}  // namespace brisko
