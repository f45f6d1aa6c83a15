// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/command_line.h"

#include <gtest/gtest.h>

namespace brisko {
namespace {

TEST(SplitWindowsCommandLineTest, SplitsLikeWindows) {
    const struct {
        const char* line;
        std::vector<std::string> expected;
    } cases[] = {
        // Backslashes before a quote: 2n give n and toggle, 2n+1 give n and a quote;
        // others are plain, also at the end of the line.
        {R"(p a\\b d"e f"g h)", {"p", R"(a\\b)", "de fg", "h"}},
        {R"(p a\\\"b c d)", {"p", R"(a\"b)", "c", "d"}},
        {R"(p a\\\\"b c" d e)", {"p", R"(a\\b c)", "d", "e"}},
        {R"(p a\ b\\)", {"p", R"(a\)", R"(b\\)"}},
        {R"(p "" x "")", {"p", "", "x", ""}},
        // Blanks and tabs separate; runs of them and trailing ones add nothing.
        {"p\ta \t b   ", {"p", "a", "b"}},
        // The program name: backslashes and quotes inside an unquoted name are plain,
        // a quoted one runs to the next quote or the end of the line.
        {R"(C:\dir\a\"b c)", {R"(C:\dir\a\"b)", "c"}},
        {R"("C:\Program Files\x.exe" -url a b)", {R"(C:\Program Files\x.exe)", "-url", "a", "b"}},
        {R"("C:\no end)", {R"(C:\no end)"}},
        // Leading blanks are skipped; a blank line holds no program.
        {"  regedit /s web.reg", {"regedit", "/s", "web.reg"}},
        {" \t ", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitWindowsCommandLine(c.line), c.expected) << "line: [" << c.line << "]";
}

}  // namespace
}  // namespace brisko
