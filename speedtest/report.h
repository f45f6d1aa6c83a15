// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The results panel's texts, the saved test report and the printout of the Data
// Speed Tests window.
#include <functional>
#include <string>

#include "platform/error.h"
#include "platform/locale.h"
#include "platform/message_box.h"
#include "platform/printer.h"
#include "platform/save_dialog.h"

namespace brisko {

inline constexpr const char* kSavedText = "File was saved successfully as a text file!";

// The results panel's heading and the fixed captions beside its figures.
inline constexpr const char* kResultsHeading = "Data Speed Test Results";
inline constexpr const char* kFileSizeCaption = "Data Size for this test:";
inline constexpr const char* kTotalTimeCaption = "Total time taken to download selected test data:";
inline constexpr const char* kAverageSpeedCaption = "Avgerage Speed:";
inline constexpr const char* kMaximumSpeedCaption = "Max speed reached:";
inline constexpr const char* kMinimumSpeedCaption = "Min speed reached:";
inline constexpr const char* kCommentsCaption = "Comments:";

// The report's fixed lines and the texts that lead its figures, as written; readers
// of saved reports match them too.
inline constexpr const char* kReportRule = "---------------------------------------";
inline constexpr const char* kReportTitle = "             Brisko";
inline constexpr const char* kReportSubtitle = "   Internet Speed Booster";
inline constexpr const char* kReportVersion = "                v3.0";
inline constexpr const char* kReportSavedOn = "   Saved on, ";
inline constexpr const char* kReportSavedAt = " at, ";
inline constexpr const char* kReportFileSize = " Test data size: ";
inline constexpr const char* kReportTotalTime = " Total time taken to download: ";
inline constexpr const char* kReportAverageSpeed = " Average speed: ";
inline constexpr const char* kReportMaximumSpeed = "         Max speed: ";
inline constexpr const char* kReportMinimumSpeed = "         Min speed: ";
inline constexpr const char* kReportComments = " Comments: ";
inline constexpr const char* kReportEnd = "          End Of Test Details";

// The results panel's texts as they stand.
struct ReportFields {
    std::string fileSize;      // lblFileSize
    std::string totalTime;     // lblTotalTime
    std::string averageSpeed;  // lblAverageSpeed
    std::string maximumSpeed;  // lblMaximumSpeed
    std::string minimumSpeed;  // lblMinimumSpeed
    std::string comments;      // txtComments
};

// The panel's figures and comments, read by control name ("lblFileSize", ...,
// "txtComments") from whatever shows them.
ReportFields ReadReportFields(const std::function<std::string(const std::string& control)>& textOf);

// The 23 report lines, each ended by CR LF.
std::string BuildReport(const ReportFields& fields, const std::string& date, const std::string& time);

// Appends text to the file, creating it when missing.
Status AppendToFile(const std::string& path, const std::string& text);

// What a failed write of the report says.
std::string ReportNotSavedText(const std::string& path, const Status& failure);

// Save As: the chosen name plus ".txt" gets one more report at its end. A cancelled
// dialog writes nothing; a failed write says so instead of reporting success.
void SaveReport(SaveDialog& dialog, const LocaleService& locale, MessageBoxService& messages,
                const ReportFields& fields);

// Paper, orientation and where the window goes on the page.
PrintSettings TestWindowPrintSettings();

// Prints the window's image; a failure is shown rather than passed over.
void PrintTestWindow(Printer& printer, MessageBoxService& messages, const WindowImage& image);

}  // namespace brisko
