#pragma once
// Records message boxes instead of blocking on them.
#include <functional>
#include <string>
#include <vector>

#include "platform/message_box.h"

namespace brisko::test {

class FakeMessageBox final : public MessageBoxService {
public:
    struct Shown {
        std::string text;
        std::string title;
        bool foreground;
    };
    void Show(const std::string& text, const std::string& title, bool foreground) override {
        shown.push_back({text, title, foreground});
        if (onShow) onShow(shown.back());
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& s : shown) texts.push_back(s.text);
        return texts;
    }

    std::vector<Shown> shown;
    std::function<void(const Shown&)> onShow;  // runs while the box would be open
};

}  // namespace brisko::test
