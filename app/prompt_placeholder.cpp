#include "app/prompt_placeholder.h"

#include <QLabel>

namespace brisko {

PromptPlaceholder::PromptPlaceholder(const QString& windowName) : FormWindow(windowName) {
    setWindowTitle("Brisko");
    auto* text = new QLabel("Restart your computer for the new settings to take effect.", this);
    text->setMargin(16);
    setCentralWidget(text);
    adjustSize();
}

}  // namespace brisko
