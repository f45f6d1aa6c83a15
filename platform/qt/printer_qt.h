// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

#include "platform/printer.h"

namespace brisko {

// Prints on the system's default printer, or into a PDF file when one is named
// (print previews and tests).
class PrinterQt final : public Printer {
public:
    explicit PrinterQt(std::string pdfFile = {}) : m_pdfFile(std::move(pdfFile)) {}
    Status PrintImage(const WindowImage& image, const PrintSettings& settings) override;

private:
    std::string m_pdfFile;
};

}  // namespace brisko
