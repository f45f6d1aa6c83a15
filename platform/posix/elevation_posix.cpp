// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/elevation_posix.h"

namespace brisko {

bool ElevationPosix::IsElevated() { return true; }

int ElevationPosix::RunElevated(const std::vector<std::string>&, Status* error) {
    *error = Status::Fail(-1, "the emulated machine needs no administrator rights");
    return -1;
}

}  // namespace brisko
