#pragma once
// Counts the yields of a long step; onPump runs at each, as a click arriving then would.
#include <functional>

#include "platform/event_pump.h"

namespace brisko::test {

class FakeEventPump final : public EventPump {
public:
    void PumpOnce() override {
        ++count;
        if (onPump) onPump();
    }
    int count = 0;
    std::function<void()> onPump;
};

}  // namespace brisko::test
