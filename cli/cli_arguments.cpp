// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_arguments.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <map>

#include "cli/build_traits.h"
#include "history/history_record.h"
#include "platform/registry_read.h"

namespace brisko::cli {

namespace {

// By Command.
const char* const kCommandNames[] = {"", "data-test", "web-test", "boost", "pro-boost",
                                     "restore", "read-reg", "compare", "history", "quality"};

const std::map<std::string, std::uint32_t> kRootKeys = {
    {"HKCU", kHkeyCurrentUser},   {"HKEY_CURRENT_USER", kHkeyCurrentUser},
    {"HKLM", kHkeyLocalMachine},  {"HKEY_LOCAL_MACHINE", kHkeyLocalMachine},
    {"HKCR", kHkeyClassesRoot},   {"HKEY_CLASSES_ROOT", kHkeyClassesRoot},
    {"HKU", kHkeyUsers},          {"HKEY_USERS", kHkeyUsers},
    {"HKCC", kHkeyCurrentConfig}, {"HKEY_CURRENT_CONFIG", kHkeyCurrentConfig},
};

// CLI11 reads "010" as octal; a count with leading zeros is meant in decimal.
std::string Decimal(std::string count) {
    if (count.find_first_not_of("0123456789") == std::string::npos)
        count.erase(0, std::min(count.find_first_not_of('0'), count.size() - 1));
    return count;
}

// An address a page can be loaded from: "host[:port][/...]" or "http(s)://host[:port][/...]".
// Empty when it is one, else what is wrong.
std::string CheckWebAddress(const std::string& address) {
    if (address.empty()) return "the address is empty";
    const std::string quoted = "\"" + address + "\"";
    if (std::any_of(address.begin(), address.end(), [](unsigned char c) { return c <= ' ' || c == 0x7f; }))
        return quoted + " holds a blank or a control character";
    const std::size_t scheme = address.find("://");
    std::string host = scheme == std::string::npos ? address : address.substr(scheme + 3);
    if (scheme != std::string::npos) {
        std::string name = address.substr(0, scheme);
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        if (name != "http" && name != "https") return quoted + " must be an http:// or https:// address";
    }
    host = host.substr(0, host.find_first_of("/?#"));
    host = host.substr(host.rfind('@') + 1);  // npos + 1: all of it
    std::string port;
    if (!host.empty() && host[0] == '[') {  // [IPv6]
        const std::size_t close = host.find(']');
        if (close == std::string::npos || close == 1) return quoted + " has an unclosed [ in its host";
        port = host.substr(close + 1);
        if (!port.empty() && port[0] != ':') return quoted + " has no valid host";
        port = port.substr(port.empty() ? 0 : 1);
    } else {
        const std::size_t colon = host.find(':');
        if (colon != std::string::npos) {
            port = host.substr(colon + 1);
            host.erase(colon);
            if (port.empty()) return quoted + " has a colon but no port";
        }
        const bool named = !host.empty() && std::all_of(host.begin(), host.end(), [](unsigned char c) {
            return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c >= 0x80;
        });
        if (!named || host.front() == '.' || host.find("..") != std::string::npos)
            return quoted + " has no valid host name";
    }
    const bool digits = port.size() <= 5 && port.find_first_not_of("0123456789") == std::string::npos;
    if (!port.empty() && (!digits || std::stol(port) < 1 || std::stol(port) > 65535))
        return quoted + " has a port outside 1 to 65535";
    return {};
}

// CLI11's help with the usage first, every option in it, and each command's usage in the list.
class HelpFormatter final : public CLI::Formatter {
public:
    HelpFormatter() { column_width(24); }
    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
        return make_usage(app, name) + "\n" + make_description(app) + make_subcommands(app, mode) +
               make_positionals(app) + make_groups(app, mode) + "\n" + make_footer(app);
    }
    std::string make_usage(const CLI::App* app, std::string name) const override {
        return "Usage: " + name + (app->get_parent() ? Synopsis(app) : " COMMAND [OPTIONS]") + "\n";
    }
    // The usage line tells which operands are needed.
    std::string make_option_opts(const CLI::Option* option) const override {
        return option->get_positional() ? std::string() : CLI::Formatter::make_option_opts(option);
    }
    std::string make_subcommand(const CLI::App* sub) const override {
        std::ostringstream out;
        CLI::detail::format_help(out, sub->get_name() + Synopsis(sub), sub->get_description(), column_width_);
        return out.str();
    }

private:
    // " ADDRESS [--engine ENGINE] ...": after the command's name.
    std::string Synopsis(const CLI::App* app) const {
        std::string line;
        for (const CLI::Option* option : app->get_options([](const CLI::Option* o) { return o->get_positional(); }))
            line += " " + make_option_usage(option);
        for (const CLI::Option* option : app->get_options([](const CLI::Option* o) { return o->nonpositional(); })) {
            const std::string type = option->get_type_name();  // "SIZE:{quick,medium,long}"
            if (option->get_name() != "--help")
                line += " [" + option->get_name() + (type.empty() ? "" : " " + type.substr(0, type.find(':'))) + "]";
        }
        return line;
    }
};

// Help wins over anything else on the line, as a user asking for it expects.
void AddHelp(CLI::App* app) {
    app->add_flag_callback("-h,--help", [] { throw CLI::CallForHelp(); }, "show this help")->trigger_on_parse();
}

CLI::App* Add(CLI::App& program, Request& r, Command command, const char* summary, const std::string& details) {
    CLI::App* app = program.add_subcommand(kCommandNames[static_cast<int>(command)], summary)->footer(details);
    app->callback([&r, command] { r.command = command; });
    AddHelp(app);
    return app;
}

// A flag given twice is refused, as an option given twice is.
CLI::Option* Flag(CLI::App* app, const char* name, bool& flag, const char* help) {
    return app->add_flag(name, flag, help)->multi_option_policy(CLI::MultiOptionPolicy::Throw);
}

void Unit(CLI::App* app, Request& r, const char* byDefault) {
    app->add_option("--unit")->type_name("UNIT")->check(CLI::IsMember({"kb", "mbit"}))
        ->description(std::string("show speeds in KB/s (kb, 1 KB = 1024 bytes) or Mbit/s\n(mbit, 10^6 bits); ") +
                      byDefault)
        ->each([&r](const std::string& unit) { r.unit = unit == "kb" ? SpeedUnit::Kb : SpeedUnit::Mbit; });
}

void Runs(CLI::App* app, int& runs, int most, const char* help) {
    app->add_option("--runs", runs, help)->type_name("N")->transform(Decimal)->check(CLI::Range(1, most));
}

// Every command and option, filling r; returns the "help" command, which takes the COMMAND to help with.
CLI::App* Define(CLI::App& program, Request& r, std::string& helpFor) {
    program.formatter(std::make_shared<HelpFormatter>());
    program.allow_windows_style_options(false);  // "/s" is an operand on Windows too
    program.option_defaults()->disable_flag_override();  // "--json=no" is refused, not read as false
    program.require_subcommand(1)->group("Commands")->set_help_flag();  // the list's heading, passed on to each command
    AddHelp(&program);
    program.set_version_flag("--version", std::string(kProgramName) + " " + BRISKO_VERSION, "show the version");

    CLI::App* app = Add(program, r, Command::DataTest, "time the download of a test file",
                        "Downloads a test file as the Data Speed Tests window does, showing the progress\n"
                        "twice a second on one line, then the results.\n"
                        "BRISKO_TEST_SERVER=host[:port] or [IPv6 address][:port] fetches the test files\n"
                        "from another server.");
    app->add_option("--size")->type_name("SIZE")->check(CLI::IsMember({"quick", "medium", "long"}))
        ->description("the window's Quick (4Mb), Medium (12Mb) or Long (35Mb) test\nfile; quick by default")
        ->each([&r](const std::string& size) { r.testFile = size == "quick" ? 0 : size == "medium" ? 1 : 2; });
    app->add_option("--report", r.reportFile, "append the test report to FILE, as Save As writes it")
        ->type_name("FILE")->check([](const std::string& file) {
            // "--report= --json" would take the next option for the file.
            return file.empty() || file[0] == '-' ? "needs a file name, not \"" + file + "\"" : std::string();
        });
    Flag(app, "--json", r.json, "print the final figures as a JSON object, one line per test,\n"
                                "speeds in KB/s and Mbit/s; the progress then goes to\nstandard error");
    Unit(app, r, "kb by default");
    Runs(app, r.runs, kMaxDataRuns,
         "runs N tests back to back, each recorded, and prints their\nmedian and spread; 1 by default");

    app = Add(program, r, Command::Quality, "measure the network's quality against brisko-testserver",
              "Measures the idle latency and its jitter, the download and the upload over one\n"
              "stream and then over several, the latency under that load and the\n"
              "responsiveness in round trips per minute (RPM), showing the progress twice a\n"
              "second. BRISKO_TEST_SERVER=host[:port] or [IPv6 address][:port] names the\n"
              "brisko-testserver to test.");
    app->add_option("--duration", r.qualitySeconds, "seconds of each of the four loaded phases, 1 to 60;\n10 by default")
        ->type_name("S")->transform(Decimal)->check(CLI::Range(1, kMaxQualitySeconds));
    app->add_option("--streams", r.qualityStreams, "streams of the loaded phases after the single one,\n1 to 64; 8 by default")
        ->type_name("N")->transform(Decimal)->check(CLI::Range(1, kMaxQualityStreams));
    Flag(app, "--json", r.json, "print the figures as one JSON object, speeds in Mbit/s and\n"
                                "KB/s; the progress then goes to standard error");
    Unit(app, r, "mbit by default");

    app = Add(program, r, Command::WebTest, "time the loading of a web page",
              "Loads the page in a browser engine, without showing it, and times the load as\n"
              "the Internet Explorer Browser and Firefox Browser windows do.");
    app->add_option("ADDRESS", r.address, "host[:port][/...] or http(s)://host[:port][/...]")
        ->required()->check(CheckWebAddress);
    app->add_option("--engine")->type_name("ENGINE")->check(CLI::IsMember({"ie", "mozilla"}))
        ->description("the browser engine; ie by default")
        ->each([&r](const std::string& name) { r.engine = name == "ie" ? EngineChoice::Ie : EngineChoice::Mozilla; });
    Runs(app, r.runs, kMaxRuns,
         "load the page N times, 1 by default; with more than one run\nthe median and the spread follow");
    Flag(app, "--json", r.json, "print the seconds of every load as one JSON object");
    // Where it cannot run it still says why, but the help does not offer it.
    if (!kHasWebTest) app->group("");

    app = Add(program, r, Command::Boost, "apply the Brisko Boost",
              "Starts the registry imports and adds the connection preferences to the browser\n"
              "profiles, as the \"Apply Brisko Boost\" button does, and lists what was done or\n"
              "failed. The settings take effect once the computer has been restarted; the\n"
              "imports may still be running when the command ends.");
    Flag(app, "--dial-up", r.dialUp, "also import the dial-up modem settings");
    CLI::App* boost = app;
    CLI::App* pro = Add(program, r, Command::ProBoost, "apply the Pro Boost",
        "As the \"Pro Boost\" button; lists what it did as boost does.");
    CLI::App* restore = Add(program, r, Command::Restore, "put the original Windows settings back",
        "Runs the inverse registry imports and puts the stock browser preference files\n"
        "back, as the \"Original Windows Settings\" button does; lists what it did as\n"
        "boost does.");
    // Only where the machine's settings need administrator rights.
    if (kNeedsElevation)
        for (CLI::App* command : {boost, pro, restore})
            Flag(command, "--elevate", r.elevate, "without administrator rights, run the command again with\n"
                                                  "them (Windows asks first) and wait for it");

    app = Add(program, r, Command::ReadReg, "print a registry value as Brisko reads it",
              "A DWORD prints in decimal with at least three digits, binary data in\n"
              "hexadecimal, any other value as it is stored; one that cannot be read prints\n"
              "\"Not Found\". Example: brisko-cli read-reg HKCU \"Volatile Environment\" HOMEPATH");
    app->add_option("ROOT")->required()
        ->description("HKCU or HKEY_CURRENT_USER, HKLM or HKEY_LOCAL_MACHINE,\nHKCR or HKEY_CLASSES_ROOT, "
                      "HKU or HKEY_USERS, HKCC or\nHKEY_CURRENT_CONFIG, in any case")
        ->transform(CLI::IsMember(kRootKeys, CLI::ignore_case))  // to the name as written here
        ->each([&r](const std::string& root) { r.rootKey = kRootKeys.at(root); });
    app->add_option("KEY", r.keyPath, "the key's path below ROOT")->required();
    app->add_option("VALUE", r.valueName, "the value's name; without it the key's default value");

    app = Add(program, r, Command::Compare, "compare saved test reports or the history's data tests",
              "Prints one row per test: when it was saved, the data size, the time, the\n"
              "average, maximum and minimum speeds and the comments, each figure after the\n"
              "first test's with its change against the first test.");
    app->add_option("FILE", r.file, "the reports Save As or data-test --report saved; without it,\n"
                                    "or with a history file, the history's data tests, the\n"
                                    "comments then saying which came first after a boost")
        ->check([](const std::string& file) { return file.empty() ? "the file name is empty" : ""; });

    app = Add(program, r, Command::History, "list the results of earlier tests and the boosts",
              "Every finished test and every boost and restore, oldest first, from the windows\n"
              "and from brisko-cli; the table ends with the change across the latest boost.\n"
              "Kept in " + std::string(kHistoryLocationText) + ".");
    CLI::Option* json = Flag(app, "--json", r.json, "print the records and the verdict across the latest boost as\n"
                                                    "one JSON object");
    Flag(app, "--csv", r.csv, "print the records as CSV, with a header line")->excludes(json);
    // --json and --csv carry every speed in both units whatever --unit says.
    Unit(app, r, "without it each test's own (data tests kb,\nquality runs mbit); the JSON and the CSV carry both");
    app->add_option("--since")->type_name("DATE")
        ->description("only the records from DATE on: YYYY-MM-DD or\nYYYY-MM-DDTHH:MM[:SS], in local time")
        ->check([](const std::string& date) {
            return ParseLocalDate(date) ? std::string()
                                        : "needs a date as YYYY-MM-DD or YYYY-MM-DDTHH:MM, not \"" + date + "\"";
        })
        ->each([&r](const std::string& date) { r.since = ParseLocalDate(date); });

    program.footer("'brisko-cli COMMAND --help' tells more about each command.\n"
                   "Exit status: 0 success, 1 the test or command failed, 2 bad usage.");
    // "help COMMAND" as "COMMAND --help", left out of the list.
    CLI::App* help = program.add_subcommand("help")->group("");
    help->add_option("COMMAND", helpFor)
        ->check(CLI::IsMember(std::vector<std::string>(std::begin(kCommandNames) + 1, std::end(kCommandNames))));
    return help;
}

}  // namespace

ParseResult ParseArguments(const std::vector<std::string>& args) {
    ParseResult result;
    CLI::App program{"Brisko's tests and boosts from a terminal, with the same figures as its windows.", kProgramName};
    std::string helpFor;
    const CLI::App* help = Define(program, result.request, helpFor);
    std::vector<std::string> line(args.rbegin(), args.rend());  // CLI11 takes the words last first
    try {
        program.parse(line);
        if (help->parsed())  // the program's help or the command's, not that of "help"
            result.output = helpFor.empty() ? program.get_formatter()->make_help(&program, kProgramName, {})
                                            : program.get_subcommand(helpFor)->help(kProgramName);
    } catch (const CLI::CallForHelp&) {
        result.output = program.help();  // the command's, once one is on the line
    } catch (const CLI::CallForVersion& e) {
        result.output = e.what() + std::string("\n");
    } catch (const CLI::ParseError& e) {
        const std::vector<CLI::App*> commands = program.get_subcommands();
        const std::vector<std::string> extras = program.remaining(true);
        const std::string extra = extras.empty() ? std::string() : extras.front();
        std::string problem = e.what();
        if (commands.empty() && dynamic_cast<const CLI::RequiredError*>(&e))
            problem = extra.empty() ? "a command is needed." : "unknown command \"" + extra + "\".";
        else if (dynamic_cast<const CLI::ExtrasError*>(&e))  // CLI11's message lists them last first
            problem = (extra[0] == '-' ? "unknown option \"" + extra.substr(0, extra.find('='))
                                       : "unexpected \"" + extra) + "\"";
        const bool command = !commands.empty() && commands.front() != help;
        const std::string who = std::string(kProgramName) + (command ? " " + commands.front()->get_name() : "");
        result.error = who + ": " + problem.substr(0, problem.find('\n')) + "\nTry '" + who + " --help'.";
    }
    return result;
}

std::string CommandName(Command command) {
    return command == Command::None ? kProgramName : kCommandNames[static_cast<int>(command)];
}

}  // namespace brisko::cli
