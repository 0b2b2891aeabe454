#include "cli/Arguments.h"

#include <array>

#include "radio/Regions.h"
#include "strings/StringTable.h"
#include "usecases/EsnEntry.h"

namespace varnel::cli {
namespace {

struct CommandEntry {
    Command command;
    std::string_view name;
    bool takesArgument;
};

constexpr std::array<CommandEntry, 5> kCommands = {{
    {Command::Info, "info", false},
    {Command::ProgramEsn, "program-esn", true},
    {Command::Region, "region", false},
    {Command::ProgramRegion, "program-region", true},
    {Command::Ports, "ports", false},
}};

const CommandEntry* FindCommand(std::string_view name) {
    for (const CommandEntry& entry : kCommands) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string_view CommandName(Command command) {
    for (const CommandEntry& entry : kCommands) {
        if (entry.command == command) {
            return entry.name;
        }
    }
    return {};
}

std::optional<std::uint8_t> ParseRegionArgument(std::string_view text) {
    for (int position = 0; position < static_cast<int>(kOfferedRegionStrings.size()); ++position) {
        const auto code = RegionCodeAt(position);
        if (!code) {
            continue;
        }
        if (EqualIgnoringCase(text, LoadString(kOfferedRegionStrings[position])) ||
            text == std::to_string(*code)) {
            return code;
        }
    }
    return std::nullopt;
}

Arguments ParseArguments(const std::vector<std::string>& args) {
    Arguments result;
    std::vector<std::string> words;  // the command and its argument, in order
    std::string error;
    auto fail = [&](std::string text) {
        if (error.empty()) {
            error = std::move(text);
        }
    };

    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            words.push_back(arg);  // "-" alone is a word, too
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const auto equals = arg.find('=');
            arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            inlineValue = arg.substr(equals + 1);
        }
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) {
                return inlineValue;
            }
            if (i + 1 < args.size()) {
                return args[++i];
            }
            return std::nullopt;
        };
        auto flag = [&](bool& target) {
            if (inlineValue) {
                fail("The option " + name + " takes no value.");
            }
            target = true;
        };
        if (name == "--help" || name == "-h") {
            result.help = true;
        } else if (name == "--version") {
            result.version = true;
        } else if (name == "--json") {
            flag(result.json);
        } else if (name == "--trace") {
            flag(result.trace);
        } else if (name == "--verify") {
            flag(result.verify);
        } else if (name == "--port") {
            auto port = value();
            if (!port || port->empty()) {
                fail("The option --port needs a port: COM1 to COM4 or a device path.");
            } else {
                result.port = *port;
            }
        } else if (name == "--record") {
            auto file = value();
            if (!file || file->empty()) {
                fail("The option --record needs a file.");
            } else {
                result.record = *file;
            }
        } else {
            fail("Unknown option " + name + ".");
        }
    }
    if (result.help || result.version) {
        return result;
    }

    if (words.empty()) {
        fail("No command given: info, program-esn, region, program-region or ports.");
    } else {
        const CommandEntry* entry = FindCommand(words[0]);
        if (entry == nullptr) {
            fail("Unknown command " + words[0] + ".");
        } else {
            result.command = entry->command;
            if (entry->takesArgument && words.size() < 2) {
                fail(entry->command == Command::ProgramEsn
                         ? "program-esn needs an ESN such as 130/5/123456."
                         : "program-region needs a region: North America, Latin America, EMEA, "
                           "Asia or a code 1 to 4.");
            } else if (words.size() > (entry->takesArgument ? 2u : 1u)) {
                fail("Too many arguments: " + words.back() + ".");
            } else if (entry->takesArgument) {
                result.argument = words[1];
            }
        }
    }
    if (result.verify && result.command != Command::ProgramEsn && error.empty()) {
        fail("The option --verify belongs to program-esn.");
    }
    if (error.empty() && result.command == Command::ProgramEsn) {
        const EsnEntry entry = EsnFromText(result.argument, EsnEntryRule::CommandLine);
        if (entry.esn) {
            result.esn = *entry.esn;
        } else {
            result.invalidEsn = true;
            fail(std::string(LoadString(entry.message)));
        }
    }
    if (error.empty() && result.command == Command::ProgramRegion) {
        if (auto code = ParseRegionArgument(result.argument)) {
            result.regionCode = *code;
        } else {
            fail("Unknown region " + result.argument +
                 ": give North America, Latin America, EMEA, Asia or a code 1 to 4.");
        }
    }
    result.error = error;
    return result;
}

}  // namespace varnel::cli
