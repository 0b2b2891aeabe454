#include "cli/Arguments.h"

#include <array>
#include <functional>

#include "radio/Regions.h"
#include "registry/EsnRegistry.h"
#include "strings/StringTable.h"
#include "usecases/EsnEntry.h"

namespace varnel::cli {
namespace {

struct CommandEntry {
    Command command;
    std::string_view name;
    bool takesArgument;
};

constexpr std::array<CommandEntry, 6> kCommands = {{
    {Command::Info, "info", false},
    {Command::ProgramEsn, "program-esn", true},
    {Command::Region, "region", false},
    {Command::ProgramRegion, "program-region", true},
    {Command::Ports, "ports", false},
    {Command::Registry, "registry", true},
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

namespace {

struct RegistryEntry {
    RegistryCommand command;
    std::string_view name;
    std::size_t words;  // after the subcommand
    std::string_view usage;
};

constexpr std::array<RegistryEntry, 8> kRegistryCommands = {{
    {RegistryCommand::PoolAdd, "pool-add", 3, "registry pool-add NAME FIRST LAST"},
    {RegistryCommand::Pools, "pools", 0, "registry pools"},
    {RegistryCommand::Show, "show", 1, "registry show ESN"},
    {RegistryCommand::List, "list", 0, "registry list [--pool NAME] [--state STATE]"},
    {RegistryCommand::Export, "export", 0, "registry export --csv"},
    {RegistryCommand::Import, "import", 1, "registry import FILE"},
    {RegistryCommand::Release, "release", 1, "registry release ESN --reason TEXT"},
    {RegistryCommand::Confirm, "confirm", 1, "registry confirm ESN"},
}};

// The words of `registry SUBCOMMAND ...` and the options that belong to them.
void ParseRegistryWords(const std::vector<std::string>& words, Arguments& result,
                        const std::function<void(std::string)>& fail) {
    const RegistryEntry* entry = nullptr;
    if (words.size() >= 2) {
        for (const RegistryEntry& candidate : kRegistryCommands) {
            if (candidate.name == words[1]) {
                entry = &candidate;
            }
        }
    }
    if (entry == nullptr) {
        fail(words.size() < 2 ? "registry needs a subcommand: pool-add, pools, show, list, "
                                "export, import, release or confirm."
                              : "Unknown registry subcommand " + words[1] + ".");
        return;
    }
    result.registryCommand = entry->command;
    result.registryWords.assign(words.begin() + 2, words.end());
    if (result.registryWords.size() != entry->words) {
        fail("Usage: varnel-cli " + std::string(entry->usage) + ".");
        return;
    }
    const bool list = entry->command == RegistryCommand::List;
    if ((result.poolFilter || result.stateFilter) && !list) {
        fail("The options --pool and --state belong to registry list.");
    } else if (result.reason && entry->command != RegistryCommand::Release) {
        fail("The option --reason belongs to registry release.");
    } else if (result.csv && entry->command != RegistryCommand::Export) {
        fail("The option --csv belongs to registry export.");
    } else if (entry->command == RegistryCommand::Export && !result.csv) {
        fail("registry export writes CSV: give --csv.");
    } else if (entry->command == RegistryCommand::Release && !result.reason) {
        fail("registry release needs --reason TEXT: why the ESN may be used again.");
    } else if (result.stateFilter && !EsnStateFromWord(*result.stateFilter)) {
        fail("Unknown state " + *result.stateFilter +
             ": give sending, unconfirmed, confirmed or released.");
    }
    // The ESNs: the pool's two ends, or the one ESN shown, released or confirmed.
    const std::size_t firstEsn = entry->command == RegistryCommand::PoolAdd ? 1 : 0;
    const bool takesEsns =
        entry->command == RegistryCommand::PoolAdd || entry->command == RegistryCommand::Show ||
        entry->command == RegistryCommand::Release || entry->command == RegistryCommand::Confirm;
    for (std::size_t i = firstEsn; takesEsns && i < result.registryWords.size(); ++i) {
        if (auto esn = EsnFromText(result.registryWords[i], EsnEntryRule::CommandLine).esn) {
            result.registryEsns.push_back(*esn);
        } else {
            result.invalidEsn = true;
            fail(std::string(LoadString(IDS_ESN_INVALID)));
        }
    }
}

}  // namespace

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
        } else if (auto* target = name == "--registry" ? &result.registry
                                  : name == "--next"   ? &result.nextPool
                                  : name == "--pool"   ? &result.poolFilter
                                  : name == "--state"  ? &result.stateFilter
                                  : name == "--reason" ? &result.reason
                                                       : nullptr) {
            auto text = value();
            if (!text || text->empty()) {
                fail("The option " + name + " needs a value.");
            } else {
                *target = *text;
            }
        } else if (name == "--csv") {
            flag(result.csv);
        } else {
            fail("Unknown option " + name + ".");
        }
    }
    if (result.help || result.version) {
        return result;
    }

    if (words.empty()) {
        fail("No command given: info, program-esn, region, program-region, ports or registry.");
    } else {
        const CommandEntry* entry = FindCommand(words[0]);
        if (entry == nullptr) {
            fail("Unknown command " + words[0] + ".");
        } else if (entry->command == Command::Registry) {
            result.command = Command::Registry;
            ParseRegistryWords(words, result, fail);
        } else if (entry->command == Command::ProgramEsn && result.nextPool) {
            result.command = Command::ProgramEsn;
            if (words.size() > 1) {
                fail("program-esn takes an ESN or --next POOL, not both.");
            }
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
    if (result.nextPool && result.command != Command::ProgramEsn && error.empty()) {
        fail("The option --next belongs to program-esn.");
    }
    if (error.empty() && result.command == Command::ProgramEsn && !result.nextPool) {
        const TypedEsn entry = EsnFromText(result.argument, EsnEntryRule::CommandLine);
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
