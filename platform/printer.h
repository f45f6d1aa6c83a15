// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Printing an image of a window on the default printer, one page per job.
// Back ends: PrinterQt (qt/, QPrinter), later win32.
// DesktopServices (platform/services.h) owns it; the Data Speed Tests window borrows it.
#include <cstdint>
#include <vector>

#include "platform/error.h"

namespace brisko {

// A window's client area as drawn on screen at 96 dots per inch.
struct WindowImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, rows from the top
};

struct PrintSettings {
    int paperSize = 9;     // Windows paper code: 1 Letter, 5 Legal, 8 A3, 9 A4, 11 A5
    int orientation = 1;   // 1 portrait, 2 landscape
    float leftMm = 0;      // where the image's top-left corner goes on the page
    float topMm = 0;
};

class Printer {
public:
    virtual ~Printer() = default;
    // Prints the image at its screen size and ends the document.
    virtual Status PrintImage(const WindowImage& image, const PrintSettings& settings) = 0;
};

}  // namespace brisko
