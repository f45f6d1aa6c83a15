#pragma once
// The boost commands' view of the main window. Looks the window up on every call,
// since the user may close it while a command yields to the event loop.
#include "shell/window_instances.h"
#include "boost/boost_ui.h"
#include "platform/message_box.h"

class QListWidget;

namespace brisko {

class main;

// List1 of the main window; entries keep their exact bytes.
class ListWidgetTextList final : public TextList {
public:
    explicit ListWidgetTextList(WindowInstances& windows) : m_windows(windows) {}
    void Clear() override;
    void Append(const std::string& entry) override;
    std::size_t Count() const override;
    std::string At(std::size_t index) const override;

private:
    QListWidget* List() const;
    WindowInstances& m_windows;
};

class BoostUiQt final : public BoostUi {
public:
    BoostUiQt(WindowInstances& windows, MessageBoxService& messages)
        : m_windows(windows), m_messages(messages), m_list1(windows) {}
    void SetCaption(const std::string& buttonName, const std::string& caption) override;
    int Check1Value() const override;
    void SetDefaultPointer() override;
    TextList& List1() override { return m_list1; }
    void ShowPrompt(const std::string& windowName) override;
    void ShowFailure(const std::string& text) override;

private:
    main* Main() const;
    WindowInstances& m_windows;
    MessageBoxService& m_messages;
    ListWidgetTextList m_list1;
};

}  // namespace brisko
