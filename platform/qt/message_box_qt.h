// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/message_box.h"

namespace brisko {

class MessageBoxQt final : public MessageBoxService {
public:
    void Show(const std::string& text, const std::string& title, bool foreground) override;
};

}  // namespace brisko
