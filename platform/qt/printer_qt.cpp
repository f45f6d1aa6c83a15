// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/printer_qt.h"

#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace brisko {

namespace {

QPageSize::PageSizeId PageSizeOf(int paperSize) {
    switch (paperSize) {
    case 1: return QPageSize::Letter;
    case 5: return QPageSize::Legal;
    case 8: return QPageSize::A3;
    case 11: return QPageSize::A5;
    default: return QPageSize::A4;
    }
}

}  // namespace

Status PrinterQt::PrintImage(const WindowImage& image, const PrintSettings& settings) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
        return Status::Fail(-1, "there is no picture of the window to print");

    QPrinter printer(QPrinter::HighResolution);
    if (!m_pdfFile.empty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(m_pdfFile));
    } else {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull()) return Status::Fail(-1, "no printer is set up on this computer");
        printer.setPrinterName(info.printerName());
    }
    printer.setPageSize(QPageSize(PageSizeOf(settings.paperSize)));
    printer.setPageOrientation(settings.orientation == 2 ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setFullPage(true);
    printer.setDocName(QStringLiteral("Data Speed Tests"));

    const QImage picture(reinterpret_cast<const uchar*>(image.pixels.data()), image.width, image.height,
                         image.width * 4, QImage::Format_ARGB32);
    QPainter painter;
    if (!painter.begin(&printer)) return Status::Fail(-1, "the printer could not be started");
    // At its screen size: 96 pixels to the inch, 25.4 mm to the inch.
    const double dotsPerMm = printer.resolution() / 25.4;
    const QRectF target(settings.leftMm * dotsPerMm, settings.topMm * dotsPerMm,
                        image.width * printer.resolution() / 96.0, image.height * printer.resolution() / 96.0);
    painter.drawImage(target, picture);
    if (!painter.end()) return Status::Fail(-1, "the page could not be sent to the printer");
    if (printer.printerState() == QPrinter::Error)
        return Status::Fail(-1, "the printer reported an error");
    return Status::Ok();
}

}  // namespace brisko
