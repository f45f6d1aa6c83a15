// SPDX-License-Identifier: GPL-3.0-or-later
// Windows command lines: an argument list quoted the way Windows programs quote
// their arguments must split back into the same list. Two sources of lists: the
// input's NUL-separated pieces, and whatever the splitter makes of the input read
// as a command line itself (so quoting its result and splitting again changes nothing).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/command_line.h"

namespace {

using Args = std::vector<std::string>;

// The usual quoting: bare when nothing in it needs quotes; otherwise in quotes, with
// the backslashes before a quote (and before the closing quote) doubled.
std::string QuoteArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    out += '"';
    return out;
}

// The program name knows no escapes: bare unless it is empty, holds a blank or starts
// with a quote; quoted it cannot hold a quote (nothing could say it then).
bool QuoteProgramName(const std::string& name, std::string* out) {
    const bool bare = !name.empty() && name.find_first_of(" \t") == std::string::npos && name[0] != '"';
    if (bare) {
        *out = name;
        return true;
    }
    if (name.find('"') != std::string::npos) return false;
    *out = "\"" + name + "\"";
    return true;
}

bool Join(const Args& args, std::string* line) {
    line->clear();
    if (args.empty()) return true;
    if (!QuoteProgramName(args[0], line)) return false;
    for (std::size_t i = 1; i < args.size(); ++i) *line += " " + QuoteArgument(args[i]);
    return true;
}

std::string Show(const Args& args) {
    std::string out = "[";
    for (const std::string& arg : args) out += (out.size() > 1 ? ", " : "") + brisko::fuzz::Escaped(arg, 80);
    return out + "]";
}

void ExpectRoundTrip(const Args& args, const char* source) {
    std::string line;
    if (!Join(args, &line)) return;
    const Args split = brisko::SplitWindowsCommandLine(line);
    if (split != args) {
        brisko::fuzz::Fail(std::string("quoted arguments (") + source + ") split differently\nline:  " +
                           brisko::fuzz::Escaped(line) + "\nwant:  " + Show(args) + "\nsplit: " + Show(split));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    Args pieces;
    if (!input.empty()) {
        std::size_t start = 0;
        for (std::size_t end; (end = input.find('\0', start)) != std::string::npos; start = end + 1)
            pieces.push_back(input.substr(start, end - start));
        pieces.push_back(input.substr(start));
    }
    ExpectRoundTrip(pieces, "NUL-separated pieces");
    ExpectRoundTrip(brisko::SplitWindowsCommandLine(input), "the input split as a command line");
    return 0;
}
