// The manual pages are kept by hand beside the programs; these tests keep them honest: an option
// added to a program's --help but not to its page, or described in the page but gone from the
// program, fails here.
#include <gtest/gtest.h>

#include "tests/package/PackageSupport.h"
#include "tests/package/Process.h"

namespace varnel::test {
namespace {

struct OptionCase {
    const char* what;
    const char* text;
    std::set<std::string> expected;
};

TEST(LongOptionsInManPage, ReadsOptionsThroughRoffEscapes) {
    const OptionCase cases[] = {
        {"bold macro", ".BI \\-\\-port \" PORT\"\n", {"--port"}},
        {"font changes inline",
         "with \\fB\\-\\-json\\fR, or \\f[B]\\-\\-trace\\f[R].\n",
         {"--json", "--trace"}},
        {"bracketed", ".RB [ \\-\\-help \" | \" \\-\\-version ]\n", {"--help", "--version"}},
        {"comment lines do not count", ".\\\" \\-\\-old\nsee \\-\\-new\n", {"--new"}},
        {"single hyphens are not long options", "usermod \\-aG, bad\\-checksum\\-ack, \\-h\n", {}},
        {"zero-width space", "\\&\\-\\-save\n", {"--save"}},
    };
    for (const OptionCase& c : cases) {
        EXPECT_EQ(LongOptionsInManPage(c.text), c.expected) << c.what;
    }
}

TEST(LongOptionsInText, ReadsOptionsAsHelpTextsWriteThem) {
    const OptionCase cases[] = {
        {"option list", "  --latency MS     wait\n  --fault FAULT\n", {"--latency", "--fault"}},
        {"usage line", "Usage: x [--profile FILE] [options]\n", {"--profile"}},
        {"quoted", "Try 'x --help'.\n", {"--help"}},
        {"suffix with one hyphen", "the reply (-ack: the acknowledge)\n", {}},
        {"hyphens inside a word", "end-of-exchange a--b\n", {}},
        {"trailing punctuation", "needs --profile.\n", {"--profile"}},
    };
    for (const OptionCase& c : cases) {
        EXPECT_EQ(LongOptionsInText(c.text), c.expected) << c.what;
    }
}

std::string Join(const std::set<std::string>& options) {
    std::string text;
    for (const std::string& option : options) {
        text += (text.empty() ? "" : " ") + option;
    }
    return text.empty() ? "(none)" : text;
}

}  // namespace

TEST_P(ManPageMatchesHelp, EveryOptionIsInBoth) {
    const DocumentedProgram& program = GetParam();
    bool ok = false;
    const std::string page = ReadWholeFile(SourcePath("man/") + program.name + ".1", ok);
    ASSERT_TRUE(ok) << "no manual page man/" << program.name << ".1";
    const ProcessResult help = RunProcess({program.binary, "--help"}, WithoutDisplay());
    ASSERT_TRUE(help.ExitedWith(0)) << program.binary << " --help: " << help.Describe();

    const std::set<std::string> inPage = LongOptionsInManPage(page);
    const std::set<std::string> inHelp = LongOptionsInText(help.out);
    ASSERT_FALSE(inHelp.empty()) << "--help names no option at all:\n" << help.out;
    std::set<std::string> onlyInPage;
    std::set<std::string> onlyInHelp;
    for (const std::string& option : inPage) {
        if (inHelp.count(option) == 0) {
            onlyInPage.insert(option);
        }
    }
    for (const std::string& option : inHelp) {
        if (inPage.count(option) == 0) {
            onlyInHelp.insert(option);
        }
    }
    EXPECT_TRUE(onlyInPage.empty())
        << "man/" << program.name << ".1 names options that --help does not: " << Join(onlyInPage);
    EXPECT_TRUE(onlyInHelp.empty())
        << program.name
        << " --help names options that its manual page does not: " << Join(onlyInHelp);
}

INSTANTIATE_TEST_SUITE_P(Programs, ManPageMatchesHelp,
                         ::testing::Values(DocumentedProgram{"varnel", VARNEL_APP_BINARY},
                                           DocumentedProgram{"varnel-radio-sim",
                                                             VARNEL_RADIOSIM_BINARY}),
                         ProgramName);

// Scripts, package checks and users on a text console ask the application these two questions;
// Qt would abort for want of a display if it were asked to start.
TEST(VarnelWithoutDisplay, AnswersHelpAndVersion) {
    const struct {
        const char* option;
        const char* firstLine;
    } cases[] = {
        {"--version", "varnel " VARNEL_VERSION "\n"},
        {"--help", "Usage: varnel [--help | --version]\n"},
        {"-h", "Usage: varnel [--help | --version]\n"},
    };
    for (const auto& c : cases) {
        const ProcessResult run = RunProcess({VARNEL_APP_BINARY, c.option}, WithoutDisplay());
        EXPECT_TRUE(run.ExitedWith(0)) << c.option << ": " << run.Describe();
        EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1), c.firstLine) << c.option;
        EXPECT_EQ(run.err, "") << c.option;
    }
}

}  // namespace varnel::test
