// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the boost commands need of the main window, without Qt: the three boost
// buttons' captions, the dial-up box, the mouse pointer and the restart prompts. The
// window layer implements it; the compiler checks every control it names.
#include <cstddef>
#include <string>
#include <vector>

namespace brisko {

enum class BoostButton { btnBoost, btnProBoost, btnRestore };
inline constexpr const char* kBoostButtonNames[] = {"btnBoost", "btnProBoost", "btnRestore"};
inline const char* ControlName(BoostButton button) { return kBoostButtonNames[static_cast<int>(button)]; }

enum class RestartPrompt { restart, Restart3 };
inline const char* WindowName(RestartPrompt prompt) { return prompt == RestartPrompt::restart ? "restart" : "Restart3"; }

// An ordered list of text entries (insertion order, never sorted): List1, the
// preference walk's scratch list.
class TextList {
public:
    virtual ~TextList() = default;
    virtual void Clear() = 0;
    virtual void Append(const std::string& entry) = 0;
    virtual std::size_t Count() const = 0;
    virtual std::string At(std::size_t index) const = 0;
};

class MemoryTextList final : public TextList {
public:
    void Clear() override { m_entries.clear(); }
    void Append(const std::string& entry) override { m_entries.push_back(entry); }
    std::size_t Count() const override { return m_entries.size(); }
    std::string At(std::size_t index) const override { return index < m_entries.size() ? m_entries[index] : std::string(); }

private:
    std::vector<std::string> m_entries;
};

class BoostUi {
public:
    virtual ~BoostUi() = default;
    virtual void SetCaption(BoostButton button, const std::string& caption) = 0;
    virtual int Check1Value() const = 0;  // 0 unchecked, 1 checked
    virtual void SetDefaultPointer() = 0;
    // Loads and shows the prompt window modeless, to the front.
    virtual void ShowPrompt(RestartPrompt prompt) = 0;
    // Shown in place of the prompt when the command could not do its work.
    virtual void ShowFailure(const std::string& text) = 0;
};

}  // namespace brisko
