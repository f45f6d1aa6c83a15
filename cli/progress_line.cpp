// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/progress_line.h"

namespace brisko::cli {

ProgressLine::ProgressLine(std::ostream& out, bool terminal, int columns)
    : m_out(out), m_terminal(terminal), m_columns(columns) {}

void ProgressLine::Show(std::string text) {
    if (!m_terminal) {
        m_out << text << '\n' << std::flush;
        return;
    }
    // The last column stays free: writing into it makes some terminals wrap at once.
    if (m_columns > 1 && text.size() > static_cast<std::size_t>(m_columns - 1)) text.resize(m_columns - 1);
    std::string line = "\r" + text;
    // Blanks cover what a longer earlier line left behind.
    if (m_shownLength > text.size()) line.append(m_shownLength - text.size(), ' ');
    m_out << line << std::flush;
    m_shownLength = text.size();
    m_open = true;
}

void ProgressLine::End() {
    if (!m_open) return;
    m_out << '\n' << std::flush;
    m_open = false;
    m_shownLength = 0;
}

std::string DownloadProgressText(const std::function<std::string(const std::string& control)>& textOf) {
    static const char* const kControls[] = {"lblTime",  "lblkbSoFar", "lblkbRemaining", "lblKBSpeed",
                                            "lblKBMax", "lblKBMin",   "lblKBAvg",       "lblMBEst"};
    std::string line;
    for (const char* control : kControls) {
        const std::string text = textOf(control);
        if (text.empty()) continue;
        if (!line.empty()) line += "  ";
        line += text;
    }
    return line;
}

}  // namespace brisko::cli
