// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <memory>

#include "platform/sync_http.h"

class QNetworkAccessManager;

namespace brisko {

// A fetch holds back keyboard and mouse input but keeps windows painted. Until the first
// byte of the answer arrives it may take connect + send + receive time-outs; after that
// the receive time-out applies between pieces of data.
class SyncHttpQt final : public SyncHttpClient {
public:
    explicit SyncHttpQt(HttpTimeouts timeouts = {});
    ~SyncHttpQt() override;
    Status Get(const std::string& address, std::string* responseText) override;

private:
    HttpTimeouts m_timeouts;
    std::unique_ptr<QNetworkAccessManager> m_network;
};

}  // namespace brisko
