#pragma once
#include "platform/save_dialog.h"

namespace brisko::test {

// Answers with a preset name, or as a cancelled dialog when it has none.
class FakeSaveDialog final : public SaveDialog {
public:
    std::optional<std::string> AskFileName() override {
        ++asked;
        return answer;
    }

    std::optional<std::string> answer;
    int asked = 0;
};

}  // namespace brisko::test
