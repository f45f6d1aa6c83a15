// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/event_pump.h"

namespace brisko {

class EventPumpQt final : public EventPump {
public:
    void PumpOnce() override;
};

}  // namespace brisko
