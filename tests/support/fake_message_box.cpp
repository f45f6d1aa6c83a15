#include "tests/support/fake_message_box.h"

namespace brisko::test {

void FakeMessageBox::Show(const std::string& text, const std::string& title, bool foreground) {
    shown.push_back({text, title, foreground});
    if (onShow) onShow(shown.back());
}

std::vector<std::string> FakeMessageBox::Texts() const {
    std::vector<std::string> texts;
    for (const auto& s : shown) texts.push_back(s.text);
    return texts;
}

}  // namespace brisko::test
