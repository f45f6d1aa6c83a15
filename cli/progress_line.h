// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A line of progress that changes twice a second. On a terminal it is redrawn in
// place (carriage return, no new line); in a file or pipe every update is a line.
#include <cstddef>
#include <functional>
#include <ostream>
#include <string>

namespace brisko::cli {

class ProgressLine {
public:
    // columns: the terminal's width (0 unknown); a redrawn line longer than that
    // would wrap, and a carriage return cannot climb back to its start.
    ProgressLine(std::ostream& out, bool terminal, int columns = 0);

    void Show(std::string text);
    // Ends a line drawn in place, so that what follows starts on a line of its own.
    void End();

private:
    std::ostream& m_out;
    bool m_terminal;
    int m_columns;
    std::size_t m_shownLength = 0;
    bool m_open = false;
};

// The progress panel's texts on one line, in the order "Total", "Downloaded",
// "Completed", "Speed", "Max", "Min", "Avg", "Est"; texts not shown yet are left out.
std::string DownloadProgressText(const std::function<std::string(const std::string& control)>& textOf);

}  // namespace brisko::cli
