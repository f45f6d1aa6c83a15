// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/sync_http_qt.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace brisko {

namespace {

long WinHttpCodeFor(QNetworkReply::NetworkError error) {
    switch (error) {
        case QNetworkReply::ConnectionRefusedError: return kWinHttpCannotConnect;
        case QNetworkReply::HostNotFoundError: return kWinHttpNameNotResolved;
        case QNetworkReply::TimeoutError:
        case QNetworkReply::OperationCanceledError: return kWinHttpTimeout;
        case QNetworkReply::ProtocolUnknownError: return kWinHttpUnrecognizedScheme;
        case QNetworkReply::SslHandshakeFailedError: return kWinHttpSecureFailure;
        case QNetworkReply::ProtocolFailure: return kWinHttpInvalidServerResponse;
        default: return kWinHttpConnectionError;
    }
}

}  // namespace

SyncHttpQt::SyncHttpQt(HttpTimeouts timeouts) : m_timeouts(timeouts) {}

SyncHttpQt::~SyncHttpQt() = default;

Status SyncHttpQt::Get(const std::string& address, std::string* responseText) {
    responseText->clear();
    const QUrl url(QString::fromStdString(address), QUrl::StrictMode);
    if (!url.isValid() || url.isRelative()) return WinHttpFailure(kWinHttpInvalidUrl);
    const QString scheme = url.scheme().toLower();
    if (scheme != "http" && scheme != "https") return WinHttpFailure(kWinHttpUnrecognizedScheme);
    if (url.host().isEmpty()) return WinHttpFailure(kWinHttpInvalidUrl);

    if (!m_network) m_network = std::make_unique<QNetworkAccessManager>();
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    QNetworkReply* reply = m_network->get(request);

    QEventLoop loop;
    QTimer silence;  // the time-out of the current phase
    silence.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&silence, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });
    auto dataArrived = [&] { silence.start(m_timeouts.receiveMs); };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, dataArrived);
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, dataArrived);
    silence.start(m_timeouts.connectMs + m_timeouts.sendMs + m_timeouts.receiveMs);
    if (!reply->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
    silence.stop();

    const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    const QNetworkReply::NetworkError error = reply->error();
    const QByteArray body = reply->readAll();
    reply->deleteLater();
    if (timedOut) return WinHttpFailure(kWinHttpTimeout);
    // An answer with an error status is still an answer: its text is what the caller gets.
    if (error != QNetworkReply::NoError && !(answered && error >= QNetworkReply::ContentAccessDenied))
        return WinHttpFailure(WinHttpCodeFor(error));
    responseText->assign(body.constData(), static_cast<size_t>(body.size()));
    return Status::Ok();
}

}  // namespace brisko
