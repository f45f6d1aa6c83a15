// SPDX-License-Identifier: GPL-3.0-or-later
#include "speedtest/report.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "platform/open_file.h"

namespace brisko {

ReportFields ReadReportFields(const std::function<std::string(const std::string& control)>& textOf) {
    ReportFields fields;
    fields.fileSize = textOf("lblFileSize");
    fields.totalTime = textOf("lblTotalTime");
    fields.averageSpeed = textOf("lblAverageSpeed");
    fields.maximumSpeed = textOf("lblMaximumSpeed");
    fields.minimumSpeed = textOf("lblMinimumSpeed");
    fields.comments = textOf("txtComments");
    return fields;
}

std::string BuildReport(const ReportFields& f, const std::string& date, const std::string& time) {
    std::string r;
    auto line = [&r](const std::string& text) { r += text + "\r\n"; };
    // A line followed by an empty one.
    auto spaced = [&line](const std::string& text) {
        line(text);
        line("");
    };
    line(kReportRule);
    line(kReportTitle);
    line(kReportSubtitle);
    line(kReportVersion);
    line(" ");
    line(kReportSavedOn + date + kReportSavedAt + time);
    line(kReportRule);
    line(" ");
    spaced(kReportFileSize + f.fileSize);
    line(" ");
    spaced(kReportTotalTime + f.totalTime);
    line(" ");
    spaced(kReportAverageSpeed + f.averageSpeed);
    line(" ");
    line(kReportMaximumSpeed + f.maximumSpeed);
    spaced(kReportMinimumSpeed + f.minimumSpeed);
    line(" ");
    line(" ");
    spaced(kReportComments + f.comments);
    line(" ");
    line(kReportRule);
    line(kReportEnd);
    line(kReportRule);
    return r;
}

Status AppendToFile(const std::string& path, const std::string& text) {
    // A FIFO would block the window until someone reads it, and a device keeps
    // nothing: only a regular file (or a link to one) can hold a report.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(PathFromUtf8(path), error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        return std::filesystem::is_directory(status) ? Status::FromErrno(EISDIR)
                                                     : Status::Fail(EINVAL, "it is not a regular file");
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    Status opened;
    std::unique_ptr<std::FILE, Closer> file(OpenFile(path, "ab", &opened));
    if (!file) return opened;
    if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() || std::fflush(file.get()) != 0)
        return Status::FromErrno(errno);
    if (std::fclose(file.release()) != 0) return Status::FromErrno(errno);
    return Status::Ok();
}

void SaveReport(SaveDialog& dialog, const LocaleService& locale, MessageBoxService& messages,
                const ReportFields& fields) {
    const std::optional<std::string> name = dialog.AskFileName();
    if (!name) return;
    // ".txt" is added whatever the name already ends with.
    const std::string path = *name + ".txt";
    const Status written = AppendToFile(path, BuildReport(fields, locale.ShortDateToday(), locale.LongTimeNow()));
    if (!written.ok()) {
        messages.Show(ReportNotSavedText(path, written));
        return;
    }
    messages.Show(kSavedText);
}

std::string ReportNotSavedText(const std::string& path, const Status& failure) {
    return "Error! The test results could not be saved in " + path + ": " + failure.text +
           ". Please choose another file name or folder.";
}

PrintSettings TestWindowPrintSettings() {
    PrintSettings settings;
    settings.paperSize = 9;    // A4
    settings.orientation = 1;  // portrait
    settings.leftMm = 45;      // the window centred across A4
    settings.topMm = 50;
    return settings;
}

void PrintTestWindow(Printer& printer, MessageBoxService& messages, const WindowImage& image) {
    const Status printed = printer.PrintImage(image, TestWindowPrintSettings());
    if (!printed.ok()) messages.Show("Error! The test results could not be printed: " + printed.text + ".");
}

}  // namespace brisko
