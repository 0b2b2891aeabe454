// The command-line tool in the package and in its manual page. Built once varnel-cli is part of
// the build.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "tests/package/PackageSupport.h"
#include "tests/package/Process.h"

namespace varnel::test {
namespace {

INSTANTIATE_TEST_SUITE_P(CommandLineTool, ManPageMatchesHelp,
                         ::testing::Values(DocumentedProgram{"varnel-cli", VARNEL_CLI_BINARY}),
                         ProgramName);

// A command as both texts name it: its word, with the subcommand after "registry".
std::string CommandName(std::istringstream& words) {
    std::string command;
    words >> command;
    if (command == "registry") {
        std::string subcommand;
        words >> subcommand;
        command += " " + subcommand;
    }
    return command;
}

// The commands of --help: the lines of its "Commands:" part that start with a word after two
// spaces (an option under a command starts with "--", a wrapped text with more spaces).
std::set<std::string> CommandsInHelp(const std::string& help) {
    std::set<std::string> commands;
    std::istringstream lines(help);
    bool inCommands = false;
    for (std::string line; std::getline(lines, line);) {
        if (line == "Commands:") {
            inCommands = true;
        } else if (inCommands && line.empty()) {
            break;
        } else if (inCommands && line.size() > 2 && line.compare(0, 2, "  ") == 0 &&
                   line[2] >= 'a' && line[2] <= 'z') {
            std::istringstream words(line);
            commands.insert(CommandName(words));
        }
    }
    return commands;
}

// The commands of the manual page: the tags of its COMMANDS section, roff's escapes and quotes
// taken away.
std::set<std::string> CommandsInManPage(const std::string& page) {
    std::set<std::string> commands;
    std::istringstream lines(page);
    bool inCommands = false;
    bool tag = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(".SH", 0) == 0) {
            inCommands = line == ".SH COMMANDS";
        } else if (inCommands && line == ".TP") {
            tag = true;
        } else if (tag) {
            tag = false;
            std::string plain;
            for (std::size_t i = line.find(' '); i != std::string::npos && i < line.size(); ++i) {
                if (line[i] == '\\' && i + 1 < line.size()) {
                    plain += line[++i];
                } else if (line[i] != '"') {
                    plain += line[i];
                }
            }
            std::istringstream words(plain);
            commands.insert(CommandName(words));
        }
    }
    return commands;
}

TEST(CliManPage, NamesTheCommandsOfHelp) {
    bool ok = false;
    const std::string page = ReadWholeFile(SourcePath("man/varnel-cli.1"), ok);
    ASSERT_TRUE(ok);
    const ProcessResult help = RunProcess({VARNEL_CLI_BINARY, "--help"}, WithoutDisplay());
    ASSERT_TRUE(help.ExitedWith(0)) << help.Describe();
    const std::set<std::string> inHelp = CommandsInHelp(help.out);
    EXPECT_TRUE(inHelp.count("info") == 1 && inHelp.count("registry release") == 1)
        << "the commands of --help were not found:\n"
        << help.out;
    EXPECT_EQ(CommandsInManPage(page), inHelp);
}

using CliInPackage = UnpackedPackageTest;

TEST_F(CliInPackage, RunsFromTheUnpackedPackageWithItsManualPage) {
    const ProcessResult run =
        RunProcess({Unpacked("usr/bin/varnel-cli"), "--version"}, WithoutDisplay());
    EXPECT_TRUE(run.ExitedWith(0)) << "varnel-cli --version: " << run.Describe();
    EXPECT_NE(run.out.find(VARNEL_VERSION), std::string::npos) << run.out;

    bool ok = false;
    const std::string source = ReadWholeFile(SourcePath("man/varnel-cli.1"), ok);
    ASSERT_TRUE(ok);
    const ProcessResult gunzip =
        RunProcess({"gzip", "-dc", Unpacked("usr/share/man/man1/varnel-cli.1.gz")});
    ASSERT_TRUE(gunzip.ExitedWith(0)) << "varnel-cli.1.gz: " << gunzip.Describe();
    EXPECT_EQ(gunzip.out, source) << "the package holds an older varnel-cli.1";
}

}  // namespace
}  // namespace varnel::test
