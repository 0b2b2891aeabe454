// The command-line tool in the package and in its manual page. Built once varnel-cli is part of
// the build.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/package/PackageSupport.h"
#include "tests/package/Process.h"

namespace varnel::test {
namespace {

INSTANTIATE_TEST_SUITE_P(CommandLineTool, ManPageMatchesHelp,
                         ::testing::Values(DocumentedProgram{"varnel-cli", VARNEL_CLI_BINARY}),
                         ProgramName);

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
