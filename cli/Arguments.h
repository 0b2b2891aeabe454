#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "radio/Esn.h"

namespace varnel::cli {

enum class Command { None, Info, ProgramEsn, Region, ProgramRegion, Ports, Registry };

// What `registry` is asked to do.
enum class RegistryCommand { None, PoolAdd, Pools, Show, List, Export, Import, Release, Confirm };

// The command's name as typed: "info", "program-esn", ...
std::string_view CommandName(Command command);

// What the command line asks for.
struct Arguments {
    Command command = Command::None;
    bool help = false;
    bool version = false;
    std::optional<std::string> port;      // --port: COMn or a device path
    std::optional<std::string> record;    // --record FILE
    std::optional<std::string> registry;  // --registry LOCATION
    std::optional<std::string> nextPool;  // program-esn --next POOL
    bool json = false;
    bool trace = false;
    bool verify = false;          // program-esn --verify
    std::string argument;         // the command's argument as typed
    EsnFields esn;                // program-esn, once checked
    std::uint8_t regionCode = 0;  // program-region, once checked (1 to 4)

    // registry SUBCOMMAND ...: what it is asked, and its words after the subcommand.
    RegistryCommand registryCommand = RegistryCommand::None;
    std::vector<std::string> registryWords;
    std::vector<EsnFields> registryEsns;     // pool-add FIRST LAST; show, release, confirm ESN
    std::optional<std::string> poolFilter;   // list --pool NAME
    std::optional<std::string> stateFilter;  // list --state STATE, one of the registry's words
    std::optional<std::string> reason;       // release --reason TEXT
    bool csv = false;                        // export --csv

    // Empty when the command line can be run; otherwise what is wrong with it, for the user.
    std::string error;
    // The error is the dialog's own "Invalid ESN entered.".
    bool invalidEsn = false;
};

// Reads the command line (without the program name). Options may come before or after the
// command, as "--port COM2" or "--port=COM2"; "--" ends the options. --help and --version win
// over everything else, even a command line that is otherwise wrong.
Arguments ParseArguments(const std::vector<std::string>& args);

// A region by its name as the Program Regional ID dialog lists it ("North America", "Latin
// America", "EMEA", "Asia", in any case) or by its code 1 to 4; nothing for anything else.
std::optional<std::uint8_t> ParseRegionArgument(std::string_view text);

}  // namespace varnel::cli
