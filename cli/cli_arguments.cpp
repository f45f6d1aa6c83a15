#include "cli/cli_arguments.h"

#include <algorithm>
#include <cctype>
#include <CLI/CLI.hpp>
#include <iterator>
#include <map>

#include "history/history_record.h"
#include "platform/registry_read.h"

namespace brisko::cli {

namespace {

struct CommandRow {
    Command command;
    const char* name;
    const char* help;
};

constexpr const char* kProgramHelp =
    "Usage: brisko-cli COMMAND [OPTIONS]\n"
    "\n"
    "Brisko's tests and boosts from a terminal, with the same figures as its windows.\n"
    "\n"
    "Commands:\n"
    "  data-test [--size quick|medium|long] [--report FILE] [--json]\n"
    "                        time the download of a test file\n"
    "  web-test ADDRESS [--engine ie|mozilla] [--runs N] [--json]\n"
    "                        time the loading of a web page\n"
    "  boost [--dial-up]     apply the Brisko Boost\n"
    "  pro-boost             apply the Pro Boost\n"
    "  restore               put the original Windows settings back\n"
    "  read-reg ROOT KEY [VALUE]\n"
    "                        print a registry value as Brisko reads it\n"
    "  compare [FILE]        compare the test reports saved in FILE, or the history's\n"
    "                        data tests\n"
    "  history [--json|--csv] [--since DATE]\n"
    "                        list the results of earlier tests and the boosts\n"
    "\n"
    "'brisko-cli COMMAND --help' tells more about each command.\n"
    "Exit status: 0 success, 1 the test or command failed, 2 bad usage.\n";

const CommandRow kCommands[] = {
    {Command::DataTest, "data-test",
     "Usage: brisko-cli data-test [--size quick|medium|long] [--report FILE] [--json]\n"
     "\n"
     "Downloads a test file and measures the speed, as the Data Speed Tests window\n"
     "does. Twice a second the progress is shown on one line, redrawn in place on a\n"
     "terminal and one line per update otherwise; at the end come the results.\n"
     "\n"
     "Options:\n"
     "  --size SIZE     quick (the default), medium or long: the window's Quick (4Mb),\n"
     "                  Medium (12Mb) and Long (35Mb) test files\n"
     "  --report FILE   append the test report to FILE, as Save As writes it\n"
     "  --json          print the final figures as one JSON object; the progress\n"
     "                  then goes to standard error\n"
     "  -h, --help      show this help\n"
     "\n"
     "BRISKO_TEST_SERVER=host[:port] fetches the test files from another server.\n"},
    {Command::WebTest, "web-test",
     "Usage: brisko-cli web-test ADDRESS [--engine ie|mozilla] [--runs N] [--json]\n"
     "\n"
     "Loads the page at ADDRESS in a browser engine, without showing it, and times\n"
     "the load as the Internet Explorer Browser and Firefox Browser windows do.\n"
     "\n"
     "Options:\n"
     "  --engine ENGINE  ie (the default) or mozilla\n"
     "  --runs N         load the page N times (1 to 100, default 1); with more than\n"
     "                   one run the median and the spread follow\n"
     "  --json           print the seconds of every load as one JSON object\n"
     "  -h, --help       show this help\n"},
    {Command::Boost, "boost",
     "Usage: brisko-cli boost [--dial-up]\n"
     "\n"
     "Applies the Brisko Boost as the main window's \"Apply Brisko Boost\" button does:\n"
     "starts the registry imports and adds the connection preferences to the browser\n"
     "profiles, then lists the imports started and which preference steps were done\n"
     "or failed, and why. No restart prompt follows: the new settings take effect\n"
     "once the computer has been restarted. The imports run on their own and may\n"
     "still be running when the command ends.\n"
     "\n"
     "Options:\n"
     "  --dial-up       also import the dial-up modem settings\n"
     "  -h, --help      show this help\n"},
    {Command::ProBoost, "pro-boost",
     "Usage: brisko-cli pro-boost\n"
     "\n"
     "Applies the Pro Boost as the main window's \"Pro Boost\" button does, and lists\n"
     "what it did as 'brisko-cli boost' does.\n"},
    {Command::Restore, "restore",
     "Usage: brisko-cli restore\n"
     "\n"
     "Puts the original settings back as the main window's \"Original Windows\n"
     "Settings\" button does: the inverse registry imports and the stock browser\n"
     "preference files. Lists what it did as 'brisko-cli boost' does.\n"},
    {Command::ReadReg, "read-reg",
     "Usage: brisko-cli read-reg ROOT KEY [VALUE]\n"
     "\n"
     "Prints a registry value as Brisko reads it: a DWORD in decimal with at least\n"
     "three digits, binary data in hexadecimal, any other value as it is stored.\n"
     "A value that cannot be read prints \"Not Found\". Without VALUE the key's\n"
     "default value is read.\n"
     "\n"
     "ROOT is HKCU or HKEY_CURRENT_USER, HKLM or HKEY_LOCAL_MACHINE, HKCR or\n"
     "HKEY_CLASSES_ROOT, HKU or HKEY_USERS, HKCC or HKEY_CURRENT_CONFIG, in any case.\n"
     "\n"
     "Example: brisko-cli read-reg HKCU \"Volatile Environment\" HOMEPATH\n"},
    {Command::Compare, "compare",
     "Usage: brisko-cli compare [FILE]\n"
     "\n"
     "Reads a file of test reports, as Save As in the Data Speed Tests window and\n"
     "'brisko-cli data-test --report' append them, and prints a table with one row\n"
     "per test: when it was saved, the data size, the time, the average, maximum and\n"
     "minimum speeds and the comments. Each figure after the first test's shows its\n"
     "change against the first test.\n"
     "\n"
     "Without FILE, or with a history file as FILE, the data tests of the history\n"
     "are compared instead; the comments then say which test came first after a\n"
     "boost or restore.\n"},
    {Command::History, "history",
     "Usage: brisko-cli history [--json | --csv] [--since DATE]\n"
     "\n"
     "Lists the history of results, oldest first: every finished data test and web\n"
     "test and every boost, Pro Boost and restore, from the windows and from\n"
     "brisko-cli alike. The table ends with the change across the latest boost.\n"
     "\n"
     "Options:\n"
     "  --json        print the records as a JSON array, one object per line\n"
     "  --csv         print the records as CSV, with a header line\n"
     "  --since DATE  only the records from DATE on: YYYY-MM-DD or\n"
     "                YYYY-MM-DDTHH:MM[:SS], in local time\n"
     "  -h, --help    show this help\n"
     "\n"
     "The history is kept in $XDG_DATA_HOME/brisko/history.jsonl\n"
     "(~/.local/share/brisko/history.jsonl when XDG_DATA_HOME is not set).\n"},
};

const CommandRow* FindCommand(const std::string& name) {
    for (const CommandRow& row : kCommands)
        if (name == row.name) return &row;
    return nullptr;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// One subcommand's options and operands. CLI11 reads the line (inline and separate
// values, "--", repeats, unknown options); what is wrong is told in our own words.
class CommandParser {
public:
    CommandParser(Command command, const std::vector<std::string>& args) : m_command(command), m_args(args) {
        m_result.request.command = command;
        m_app.set_help_flag();  // help is found before CLI11 is asked, and worded as ours
        m_app.allow_extras();   // unknown options come back to be named in the message
        m_app.add_option("operands", m_operands);
    }

    ParseResult Run();

private:
    // An option with one value; given several times is left for Value to judge.
    void AddValue(const char* name) {
        m_values[name] = m_app.add_option(name)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    }
    void AddFlag(const char* name) { m_flags[name] = m_app.add_flag(name); }
    bool Fail(const std::string& problem) {
        if (m_result.error.empty())
            m_result.error = std::string(kProgramName) + " " + CommandName(m_command) + ": " + problem +
                             "\nTry '" + kProgramName + " " + CommandName(m_command) + " --help'.";
        return false;
    }
    // Whether the flag was given (once); false after a failure too.
    bool Flag(const char* name) {
        const std::size_t count = m_flags.at(name)->count();
        if (count > 1) return Fail(std::string(name) + " is given more than once");
        return count == 1;
    }
    // The option's value, if it was given (once, with a value).
    std::optional<std::string> Value(const char* name) {
        const CLI::Option* option = m_values.at(name);
        if (option->count() == 0) return std::nullopt;
        if (option->count() > 1) return Fail(std::string(name) + " is given more than once"), std::nullopt;
        return option->results().front();
    }
    bool Options();
    bool Operands();

    Command m_command;
    const std::vector<std::string>& m_args;
    CLI::App m_app;
    std::map<std::string, CLI::Option*> m_values, m_flags;
    std::vector<std::string> m_operands;
    ParseResult m_result;
};

ParseResult CommandParser::Run() {
    // Help wins over anything else on the line, as a user asking for it expects.
    for (std::size_t i = 1; i < m_args.size() && m_args[i] != "--"; ++i)
        if (m_args[i] == "--help" || m_args[i] == "-h") {
            m_result.request.help = true;
            return m_result;
        }
    switch (m_command) {
        case Command::DataTest: AddValue("--size"); AddValue("--report"); AddFlag("--json"); break;
        case Command::WebTest: AddValue("--engine"); AddValue("--runs"); AddFlag("--json"); break;
        case Command::Boost: AddFlag("--dial-up"); break;
        case Command::History: AddFlag("--json"); AddFlag("--csv"); AddValue("--since"); break;
        default: break;
    }
    // CLI11 reads "--report=" as no value at all and "--json=x" as a flag set to x: the
    // first is an empty value here, the second no flag.
    std::vector<std::string> line;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < m_args.size(); ++i) {
        const std::string& arg = m_args[i];
        optionsEnded = optionsEnded || arg == "--";
        const std::string name = arg.substr(0, arg.find('='));
        if (!optionsEnded && name.size() < arg.size() && m_flags.count(name))
            return Fail(name + " takes no value"), m_result;
        line.push_back(!optionsEnded && name.size() + 1 == arg.size() && m_values.count(name) ? name : arg);
        if (line.back() != arg) line.push_back("");
    }
    std::vector<std::string> reversed(line.rbegin(), line.rend());  // CLI11 reads from the back
    try {
        m_app.parse(reversed);
    } catch (const CLI::ArgumentMismatch& e) {
        // A value missing after its option: "--size: 1 required  missing".
        for (const auto& [name, option] : m_values)
            if (std::string(e.what()).rfind(name + ":", 0) == 0) return Fail(name + " needs a value"), m_result;
        return Fail(e.what()), m_result;
    } catch (const CLI::ParseError& e) {
        return Fail(e.what()), m_result;
    }
    for (const std::string& extra : m_app.remaining())
        if (extra != "--" && extra.size() > 1 && extra[0] == '-')
            return Fail("unknown option \"" + extra.substr(0, extra.find('=')) + "\""), m_result;
    if (Options()) Operands();
    return m_result;
}

bool CommandParser::Options() {
    Request& r = m_result.request;
    std::optional<std::string> value;
    switch (m_command) {
        case Command::DataTest:
            if ((value = Value("--size"))) {
                const char* sizes[] = {"quick", "medium", "long"};
                const auto* found = std::find(std::begin(sizes), std::end(sizes), *value);
                if (found == std::end(sizes)) return Fail("unknown size \"" + *value + "\"; use quick, medium or long");
                r.testFile = static_cast<std::size_t>(found - std::begin(sizes));
            }
            if ((value = Value("--report"))) {
                if (value->empty()) return Fail("--report needs a file name");
                r.reportFile = *value;
            }
            r.json = Flag("--json");
            break;
        case Command::WebTest:
            if ((value = Value("--engine"))) {
                if (*value != "ie" && *value != "mozilla")
                    return Fail("unknown engine \"" + *value + "\"; use ie or mozilla");
                r.engine = *value == "ie" ? EngineChoice::Ie : EngineChoice::Mozilla;
            }
            if ((value = Value("--runs"))) {
                const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
                const bool digits = !value->empty() && value->size() <= 3 && std::all_of(value->begin(), value->end(), isDigit);
                const int runs = digits ? std::stoi(*value) : 0;
                if (runs < 1 || runs > kMaxRuns)
                    return Fail("--runs must be a whole number from 1 to " + std::to_string(kMaxRuns) + ", not \"" +
                                *value + "\"");
                r.runs = runs;
            }
            r.json = Flag("--json");
            break;
        case Command::Boost:
            r.dialUp = Flag("--dial-up");
            break;
        case Command::History:
            r.json = Flag("--json");
            r.csv = Flag("--csv");
            if (r.json && r.csv) return Fail("--json and --csv cannot go together");
            if ((value = Value("--since"))) {
                r.since = ParseLocalDate(*value);
                if (!r.since)
                    return Fail("--since needs a date as YYYY-MM-DD or YYYY-MM-DDTHH:MM, not \"" + *value + "\"");
            }
            break;
        default:
            break;
    }
    return m_result.ok();
}

bool CommandParser::Operands() {
    Request& r = m_result.request;
    const std::size_t count = m_operands.size();
    auto expect = [&](std::size_t least, std::size_t most, const char* what) {
        if (count < least) return Fail(std::string("missing ") + what);
        if (count > most) return Fail("unexpected \"" + m_operands[most] + "\"");
        return true;
    };
    switch (m_command) {
        case Command::DataTest:
        case Command::Boost:
        case Command::ProBoost:
        case Command::Restore:
        case Command::History:
            return expect(0, 0, "");
        case Command::WebTest: {
            if (!expect(1, 1, "the ADDRESS of the page to load")) return false;
            const std::string problem = CheckWebAddress(m_operands[0]);
            if (!problem.empty()) return Fail(problem);
            r.address = m_operands[0];
            return true;
        }
        case Command::ReadReg: {
            if (!expect(2, 3, count == 0 ? "the ROOT key and the KEY" : "the KEY")) return false;
            const std::optional<std::uint32_t> root = ParseRootKey(m_operands[0]);
            if (!root)
                return Fail("unknown root key \"" + m_operands[0] +
                            "\"; use HKCU, HKLM, HKCR, HKU, HKCC or their long names");
            r.rootKey = *root;
            r.keyPath = m_operands[1];
            if (count == 3) r.valueName = m_operands[2];
            return true;
        }
        case Command::Compare:
            if (!expect(0, 1, "the FILE of saved test reports")) return false;
            if (count == 0) return true;  // the history
            if (m_operands[0].empty()) return Fail("the FILE name is empty");
            r.file = m_operands[0];
            return true;
        case Command::None:
            break;
    }
    return true;
}

}  // namespace

ParseResult ParseArguments(const std::vector<std::string>& args) {
    ParseResult result;
    const std::string hint = std::string("\nTry '") + kProgramName + " --help'.";
    if (args.empty()) {
        result.error = std::string(kProgramName) + ": a command is needed." + hint;
        return result;
    }
    const std::string& first = args[0];
    if (first == "--help" || first == "-h" || first == "help") {
        result.request.help = true;
        if (first == "help" && args.size() > 1) {
            const CommandRow* row = FindCommand(args[1]);
            if (!row) {
                result.error = std::string(kProgramName) + ": unknown command \"" + args[1] + "\"." + hint;
                return result;
            }
            result.request.command = row->command;
        }
        return result;
    }
    const CommandRow* row = FindCommand(first);
    if (!row) {
        result.error = std::string(kProgramName) + ": unknown command \"" + first + "\"." + hint;
        return result;
    }
    return CommandParser(row->command, args).Run();
}

std::string CommandName(Command command) {
    for (const CommandRow& row : kCommands)
        if (row.command == command) return row.name;
    return kProgramName;
}

std::string HelpText(Command command) {
    for (const CommandRow& row : kCommands)
        if (row.command == command) return row.help;
    return kProgramHelp;
}

std::optional<std::uint32_t> ParseRootKey(const std::string& text) {
    static const std::pair<const char*, std::uint32_t> kRoots[] = {
        {"HKCU", kHkeyCurrentUser},         {"HKEY_CURRENT_USER", kHkeyCurrentUser},
        {"HKLM", kHkeyLocalMachine},        {"HKEY_LOCAL_MACHINE", kHkeyLocalMachine},
        {"HKCR", kHkeyClassesRoot},         {"HKEY_CLASSES_ROOT", kHkeyClassesRoot},
        {"HKU", kHkeyUsers},                {"HKEY_USERS", kHkeyUsers},
        {"HKCC", kHkeyCurrentConfig},       {"HKEY_CURRENT_CONFIG", kHkeyCurrentConfig},
    };
    const std::string upper = Upper(text);
    for (const auto& [name, handle] : kRoots)
        if (upper == name) return handle;
    return std::nullopt;
}

std::string CheckWebAddress(const std::string& address) {
    if (address.empty()) return "the ADDRESS is empty";
    for (unsigned char c : address)
        if (c <= ' ' || c == 0x7f) return "the ADDRESS \"" + address + "\" holds a blank or a control character";
    std::string rest = address;
    const std::size_t scheme = address.find("://");
    if (scheme != std::string::npos) {
        const std::string name = Upper(address.substr(0, scheme));
        if (name != "HTTP" && name != "HTTPS")
            return "the ADDRESS \"" + address + "\" must be an http:// or https:// address";
        rest = address.substr(scheme + 3);
    }
    const std::string authority = rest.substr(0, rest.find_first_of("/?#"));
    std::string host = authority;
    const std::size_t at = host.rfind('@');
    if (at != std::string::npos) host = host.substr(at + 1);
    std::string port;
    if (!host.empty() && host[0] == '[') {  // [IPv6]
        const std::size_t close = host.find(']');
        if (close == std::string::npos || close == 1)
            return "the ADDRESS \"" + address + "\" has an unclosed [ in its host";
        port = host.substr(close + 1);
        if (!port.empty() && port[0] != ':') return "the ADDRESS \"" + address + "\" has no valid host";
        if (!port.empty()) port.erase(0, 1);
        host = host.substr(1, close - 1);
    } else {
        const std::size_t colon = host.find(':');
        if (colon != std::string::npos) {
            port = host.substr(colon + 1);
            host.erase(colon);
            if (port.empty()) return "the ADDRESS \"" + address + "\" has a colon but no port";
        }
        const bool hostOk = !host.empty() && std::all_of(host.begin(), host.end(), [](unsigned char c) {
            return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c >= 0x80;
        });
        if (!hostOk || host.front() == '.' || host.find("..") != std::string::npos)
            return "the ADDRESS \"" + address + "\" has no valid host name";
    }
    if (!port.empty()) {
        const bool digits = port.size() <= 5 && std::all_of(port.begin(), port.end(), [](unsigned char c) {
            return std::isdigit(c);
        });
        const long value = digits ? std::stol(port) : 0;
        if (value < 1 || value > 65535)
            return "the ADDRESS \"" + address + "\" has a port outside 1 to 65535";
    }
    return {};
}

}  // namespace brisko::cli
