// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Yield once to the event loop" inside a long step.
// Back ends: EventPumpQt (qt/), NoEventPump (here, for logic without a loop).
// DesktopServices (platform/services.h) owns the Qt pump; logic borrows it by reference.

namespace brisko {

class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void PumpOnce() = 0;
};

class NoEventPump final : public EventPump {
public:
    void PumpOnce() override {}
};

}  // namespace brisko
