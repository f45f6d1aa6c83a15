#pragma once
#include <QObject>
#include <memory>

#include "platform/tcp_socket.h"

class QTcpSocket;

namespace brisko {

// The Winsock control over QTcpSocket. Every readyRead is one data-arrival event.
class TcpSocketQt final : public TcpSocket {
public:
    TcpSocketQt();
    ~TcpSocketQt() override;
    void SetEvents(TcpSocketEvents events) override;
    void Connect(const std::string& host, std::uint16_t port) override;
    std::string RemoteHost() const override { return m_remoteHost; }
    Status SendData(const std::string& data) override;
    std::size_t Read(char* buffer, std::size_t size) override;
    std::size_t Discard(std::size_t size) override;
    void Close() override;

    QTcpSocket* Socket() const { return m_socket.get(); }

private:
    void Post(std::function<void()> event);

    std::unique_ptr<QTcpSocket> m_socket;
    TcpSocketEvents m_events;
    std::string m_remoteHost;
    unsigned m_generation = 0;  // events queued for an earlier connection are dropped
};

class TcpSocketFactoryQt final : public TcpSocketFactory {
public:
    std::unique_ptr<TcpSocket> Create() override { return std::make_unique<TcpSocketQt>(); }
};

}  // namespace brisko
