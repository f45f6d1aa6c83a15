#pragma once
// The boost commands' window side, recorded: every call is one line of `log`.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "boost/boost_ui.h"

namespace brisko::test {

class FakeTextList final : public TextList {
public:
    void Clear() override { entries.clear(); }
    void Append(const std::string& entry) override { entries.push_back(entry); }
    std::size_t Count() const override { return entries.size(); }
    std::string At(std::size_t index) const override { return index < entries.size() ? entries[index] : ""; }

    std::vector<std::string> entries;
};

class FakeBoostUi final : public BoostUi {
public:
    FakeBoostUi() {
        captions = {{"btnBoost", "Apply Brisko Boost"},
                    {"btnProBoost", "Pro Boost"},
                    {"btnRestore", "Original Windows Settings"}};
    }
    void SetCaption(BoostButton button, const std::string& caption) override {
        captions[ControlName(button)] = caption;
        log.push_back(std::string("caption ") + ControlName(button) + " " + caption);
    }
    int Check1Value() const override { return check1 ? check1() : 0; }
    void SetDefaultPointer() override { log.push_back("pointer default"); }
    void ShowPrompt(RestartPrompt prompt) override { log.push_back(std::string("prompt ") + WindowName(prompt)); }
    void ShowFailure(const std::string& text) override { log.push_back("failure " + text); }

    std::map<std::string, std::string> captions;
    std::function<int()> check1;
    std::vector<std::string> log;
};

}  // namespace brisko::test
