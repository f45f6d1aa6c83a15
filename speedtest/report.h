#pragma once
// The saved test report and the printout of the Data Speed Tests window.
#include <string>

#include "platform/error.h"
#include "platform/locale.h"
#include "platform/message_box.h"
#include "platform/printer.h"
#include "platform/save_dialog.h"

namespace brisko {

inline constexpr const char* kSavedText = "File was saved successfully as a text file!";

// The results panel's texts as they stand.
struct ReportFields {
    std::string fileSize;      // lblFileSize
    std::string totalTime;     // lblTotalTime
    std::string averageSpeed;  // lblAverageSpeed
    std::string maximumSpeed;  // lblMaximumSpeed
    std::string minimumSpeed;  // lblMinimumSpeed
    std::string comments;      // txtComments
};

// The 23 report lines, each ended by CR LF.
std::string BuildReport(const ReportFields& fields, const std::string& date, const std::string& time);

// Appends text to the file, creating it when missing.
Status AppendToFile(const std::string& path, const std::string& text);

// Save As: the chosen name plus ".txt" gets one more report at its end. A cancelled
// dialog writes nothing; a failed write says so instead of reporting success.
void SaveReport(SaveDialog& dialog, const LocaleService& locale, MessageBoxService& messages,
                const ReportFields& fields);

// Paper, orientation and where the window goes on the page.
PrintSettings TestWindowPrintSettings();

// Prints the window's image; a failure is shown rather than passed over.
void PrintTestWindow(Printer& printer, MessageBoxService& messages, const WindowImage& image);

}  // namespace brisko
