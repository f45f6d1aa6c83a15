// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/placement.h"

#include <algorithm>

namespace brisko {

namespace {

// The start of a span of `length` centred on [start, start + over), kept inside the room.
int Place(int start, int over, bool centre, int length, int roomStart, int room) {
    const int wanted = centre ? start + (over - length) / 2 : start;
    return std::clamp(wanted, roomStart, roomStart + room - length);
}

}  // namespace

Placement PlaceFrame(Box over, bool centre, int wantedWidth, int wantedHeight, int smallestWidth,
                     int smallestHeight, Box screen) {
    Placement placement;
    placement.scroll = smallestWidth > screen.width || smallestHeight > screen.height;
    Box& frame = placement.frame;
    frame.width = std::min(wantedWidth, screen.width);
    frame.height = std::min(wantedHeight, screen.height);
    frame.x = Place(over.x, over.width, centre, frame.width, screen.x, screen.width);
    frame.y = Place(over.y, over.height, centre, frame.height, screen.y, screen.height);
    return placement;
}

}  // namespace brisko
