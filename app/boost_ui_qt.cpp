#include "app/boost_ui_qt.h"

#include <QListWidget>

#include "app/main_window.h"

namespace brisko {

namespace {
constexpr int kBytesRole = Qt::UserRole;
}

QListWidget* ListWidgetTextList::List() const {
    auto* window = m_windows.Get<main>("main");
    return window ? window->List1() : nullptr;
}

void ListWidgetTextList::Clear() {
    if (QListWidget* list = List()) list->clear();
}

void ListWidgetTextList::Append(const std::string& entry) {
    QListWidget* list = List();
    if (!list) return;
    const QByteArray bytes(entry.data(), static_cast<qsizetype>(entry.size()));
    auto* item = new QListWidgetItem(QString::fromLocal8Bit(bytes));
    item->setData(kBytesRole, bytes);
    list->addItem(item);
}

std::size_t ListWidgetTextList::Count() const {
    QListWidget* list = List();
    return list ? static_cast<std::size_t>(list->count()) : 0;
}

std::string ListWidgetTextList::At(std::size_t index) const {
    QListWidget* list = List();
    if (!list || index >= static_cast<std::size_t>(list->count())) return {};
    const QByteArray bytes = list->item(static_cast<int>(index))->data(kBytesRole).toByteArray();
    return bytes.toStdString();
}

main* BoostUiQt::Main() const { return m_windows.Get<main>("main"); }

void BoostUiQt::SetCaption(const std::string& buttonName, const std::string& caption) {
    if (main* window = Main()) window->SetCaption(QString::fromStdString(buttonName), QString::fromStdString(caption));
}

int BoostUiQt::Check1Value() const {
    main* window = Main();
    return window ? window->Check1Value() : 0;
}

void BoostUiQt::SetDefaultPointer() {
    if (main* window = Main()) window->SetDefaultPointer();
}

void BoostUiQt::ShowPrompt(const std::string& windowName) { m_windows.Show(windowName); }

void BoostUiQt::ShowFailure(const std::string& text) { m_messages.Show(text); }

}  // namespace brisko
