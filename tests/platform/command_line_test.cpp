#include "platform/command_line.h"

#include <gtest/gtest.h>

namespace brisko {
namespace {

struct SplitCase {
    const char* line;
    std::vector<std::string> expected;
};

TEST(SplitWindowsCommandLineTest, SplitsLikeWindows) {
    const SplitCase cases[] = {
        // The documented CommandLineToArgvW examples (after a program name).
        {R"(p "abc" d e)", {"p", "abc", "d", "e"}},
        {R"(p a\\b d"e f"g h)", {"p", R"(a\\b)", "de fg", "h"}},
        {R"(p a\\\"b c d)", {"p", R"(a\"b)", "c", "d"}},
        {R"(p a\\\\"b c" d e)", {"p", R"(a\\b c)", "d", "e"}},
        // Backslashes before a quote: 2n give n and toggle, 2n+1 give n and a quote.
        {R"(p "a\\" b)", {"p", R"(a\)", "b"}},
        {R"(p \"x\")", {"p", R"("x")"}},
        {R"(p a\ b\\)", {"p", R"(a\)", R"(b\\)"}},
        // Quotes toggle anywhere inside an argument; an unterminated quote runs on.
        {R"(p a"b"c "d e)", {"p", "abc", "d e"}},
        {R"(p "" x "")", {"p", "", "x", ""}},
        // Blanks and tabs separate; runs of them and trailing ones add nothing.
        {"p\ta \t b   ", {"p", "a", "b"}},
        // The program name: backslashes and quotes inside an unquoted name are plain,
        // a quoted name ends at the next quote whatever follows.
        {R"(C:\dir\a\"b c)", {R"(C:\dir\a\"b)", "c"}},
        {R"("C:\Program Files\x.exe" -url a b)", {R"(C:\Program Files\x.exe)", "-url", "a", "b"}},
        {R"("C:\a b\x"tail rest)", {R"(C:\a b\x)", "tail", "rest"}},
        {R"("C:\no end)", {R"(C:\no end)"}},
        {"prog\targ", {"prog", "arg"}},
        {R"(Not Found http://h/a b)", {"Not", "Found", "http://h/a", "b"}},
        // Leading blanks are skipped; an empty or blank line holds no program.
        {"  regedit /s web.reg", {"regedit", "/s", "web.reg"}},
        {"", {}},
        {" \t ", {}},
    };
    for (const SplitCase& c : cases)
        EXPECT_EQ(SplitWindowsCommandLine(c.line), c.expected) << "line: [" << c.line << "]";
}

}  // namespace
}  // namespace brisko
