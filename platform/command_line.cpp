// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/command_line.h"

namespace brisko {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

ProgramName ReadProgramName(std::string_view line) {
    ProgramName result;
    std::size_t i = 0;
    // Windows gives an empty name for a line that starts with a blank; nothing could
    // be started from that, so the blanks are skipped instead.
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i == line.size()) {
        result.end = i;
        return result;
    }
    if (line[i] == '"') {
        result.quoted = true;
        const std::size_t close = line.find('"', i + 1);
        if (close == std::string_view::npos) {
            result.name = line.substr(i + 1);
            result.end = line.size();
        } else {
            result.name = line.substr(i + 1, close - i - 1);
            result.end = close + 1;
        }
        return result;
    }
    std::size_t stop = i;
    while (stop < line.size() && !IsBlank(line[stop])) ++stop;
    result.name = line.substr(i, stop - i);
    result.end = stop;
    return result;
}

std::vector<std::string> SplitWindowsArguments(std::string_view line) {
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    std::size_t backslashes = 0;

    for (const char c : line) {
        if (c == '\\') {
            ++backslashes;
            inArgument = true;
            continue;
        }
        if (c == '"') {
            current.append(backslashes / 2, '\\');
            if (backslashes % 2 == 1) {
                current += '"';
            } else {
                quoted = !quoted;
            }
            backslashes = 0;
            inArgument = true;
            continue;
        }
        current.append(backslashes, '\\');
        backslashes = 0;
        if (IsBlank(c) && !quoted) {
            if (inArgument) args.push_back(std::move(current));
            current.clear();
            inArgument = false;
            continue;
        }
        current += c;
        inArgument = true;
    }
    current.append(backslashes, '\\');
    if (inArgument) args.push_back(std::move(current));
    return args;
}

std::vector<std::string> SplitWindowsCommandLine(const std::string& commandLine) {
    const ProgramName program = ReadProgramName(commandLine);
    if (program.name.empty() && !program.quoted) return {};
    std::vector<std::string> args{program.name};
    for (std::string& arg : SplitWindowsArguments(std::string_view(commandLine).substr(program.end)))
        args.push_back(std::move(arg));
    return args;
}

}  // namespace brisko
