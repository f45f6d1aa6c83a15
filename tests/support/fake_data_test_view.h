#pragma once
// Records what the download test run shows, by control name.
#include <map>
#include <string>

#include "speedtest/download_run.h"

namespace brisko::test {

class FakeDataTestView final : public DataTestView {
public:
    void SetText(DataControl control, const std::string& text) override { texts[ControlName(control)] = text; }
    void SetProgressBar(int value) override { bar = value; }
    void SetTimerEnabled(bool enabled) override { timer = enabled; }
    int TimerInterval() const override { return interval; }
    void SetSaveEnabled(bool enabled) override { saveEnabled = enabled; }
    void SetResultsVisible(bool visible) override { resultsVisible = visible; }
    void SetWindowHeight(int twips) override { heightTwips = twips; }
    std::string SelectedTestUrl() const override { return url; }

    std::string Text(const std::string& control) const {
        auto it = texts.find(control);
        return it == texts.end() ? std::string() : it->second;
    }

    std::map<std::string, std::string> texts;
    int bar = 0;
    bool timer = false;
    int interval = 500;
    bool saveEnabled = false;
    bool resultsVisible = false;
    int heightTwips = 0;
    std::string url = "files.example/dir/4MB.bin";
};

}  // namespace brisko::test
