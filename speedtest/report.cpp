#include "speedtest/report.h"

#include <cerrno>
#include <cstdio>
#include <memory>

namespace brisko {

namespace {
constexpr const char* kRule = "---------------------------------------";
}  // namespace

std::string BuildReport(const ReportFields& f, const std::string& date, const std::string& time) {
    std::string r;
    auto line = [&r](const std::string& text) { r += text + "\r\n"; };
    // A line followed by an empty one.
    auto spaced = [&line](const std::string& text) {
        line(text);
        line("");
    };
    line(kRule);
    line("             Brisko");
    line("   Internet Speed Booster");
    line("                v3.0");
    line(" ");
    line("   Saved on, " + date + " at, " + time);
    line(kRule);
    line(" ");
    spaced(" Test data size: " + f.fileSize);
    line(" ");
    spaced(" Total time taken to download: " + f.totalTime);
    line(" ");
    spaced(" Average speed: " + f.averageSpeed);
    line(" ");
    line("         Max speed: " + f.maximumSpeed);
    spaced("         Min speed: " + f.minimumSpeed);
    line(" ");
    line(" ");
    spaced(" Comments: " + f.comments);
    line(" ");
    line(kRule);
    line("          End Of Test Details");
    line(kRule);
    return r;
}

Status AppendToFile(const std::string& path, const std::string& text) {
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    errno = 0;
    std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "ab"));
    if (!file) return Status::FromErrno(errno);
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
        messages.Show("Error! The test results could not be saved in " + path + ": " + written.text +
                      ". Please choose another file name or folder.");
        return;
    }
    messages.Show(kSavedText);
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
