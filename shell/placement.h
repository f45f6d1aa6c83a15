// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where a window goes on the screen, in whatever units the caller uses.

namespace brisko {

struct Box {
    int x = 0, y = 0, width = 0, height = 0;
};

struct Placement {
    Box frame;            // the outer rectangle, frame included
    bool scroll = false;  // the client cannot shrink enough and must scroll
};

// A frame of size `wanted` (no smaller than `smallest` unless it scrolls) centred over
// `over`, or kept at `over`'s top left when `centre` is false, then shrunk and moved
// into `screen` until it lies wholly inside.
Placement PlaceFrame(Box over, bool centre, int wantedWidth, int wantedHeight, int smallestWidth,
                     int smallestHeight, Box screen);

}  // namespace brisko
