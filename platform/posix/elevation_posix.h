// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "platform/elevation.h"

namespace brisko {

// The emulated machine belongs to its user: every write is allowed.
class ElevationPosix final : public Elevation {
public:
    bool IsElevated() override;
    int RunElevated(const std::vector<std::string>& arguments, Status* error) override;
};

}  // namespace brisko
