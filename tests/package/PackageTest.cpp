// The Debian package as a user receives it: what it holds, what Debian's validators say about
// it, and whether its programs run from it.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <sstream>

#include "tests/package/PackageSupport.h"
#include "tests/package/Process.h"

namespace varnel::test {
namespace {

std::string ControlField(const std::string& deb, const std::string& field) {
    const ProcessResult run = RunProcess({"dpkg-deb", "--field", deb, field});
    EXPECT_TRUE(run.ExitedWith(0)) << "dpkg-deb --field " << field << ": " << run.Describe();
    return run.out;
}

// The lines of a validator's output that hold the given text (at their start, when asked).
std::string LinesWith(const std::string& text, const std::string& needle, bool atStart) {
    std::istringstream lines(text);
    std::string line;
    std::string found;
    while (std::getline(lines, line)) {
        const std::size_t at = line.find(needle);
        if (at != std::string::npos && (!atStart || at == 0)) {
            found += line + "\n";
        }
    }
    return found;
}

using PackageContents = UnpackedPackageTest;

TEST_F(PackageContents, ControlFieldsDescribeVarnel) {
    EXPECT_EQ(ControlField(m_deb, "Package"), "varnel\n");
    EXPECT_EQ(ControlField(m_deb, "Version"), VARNEL_VERSION "\n");
    // Dependencies come from dpkg-shlibdeps, which names the libraries the programs link.
    const std::string depends = ControlField(m_deb, "Depends");
    for (const char* library : {"libc6 ", "libstdc++6 ", "libqt6core6 ", "libqt6widgets6 "}) {
        EXPECT_NE(depends.find(library), std::string::npos) << library << "in " << depends;
    }
    const std::string description = ControlField(m_deb, "Description");
    const std::string synopsis = description.substr(0, description.find('\n'));
    EXPECT_NE(synopsis.find("radio"), std::string::npos) << synopsis;
    EXPECT_NE(description.find("ESN"), std::string::npos) << description;
    EXPECT_NE(description.find("varnel-radio-sim"), std::string::npos) << description;
    for (const char* field : {"Maintainer", "Section", "Priority", "Homepage"}) {
        EXPECT_NE(ControlField(m_deb, field), "") << field;
    }
}

TEST_F(PackageContents, HoldsProgramsDesktopFilesAndDocumentation) {
    for (const char* path : {
             "usr/bin/varnel",
             "usr/bin/varnel-radio-sim",
             "usr/share/applications/varnel.desktop",
             "usr/share/metainfo/com.tessaran.Varnel.metainfo.xml",
             "usr/share/icons/hicolor/scalable/apps/varnel.svg",
             "usr/share/man/man1/varnel.1.gz",
             "usr/share/man/man1/varnel-radio-sim.1.gz",
             "usr/share/doc/varnel/copyright",
             "usr/share/doc/varnel/changelog.gz",
             "usr/share/varnel/radio-sim/profiles/blank.profile",
         }) {
        EXPECT_TRUE(std::filesystem::is_regular_file(Unpacked(path))) << path;
    }
    for (const char* program : {"usr/bin/varnel", "usr/bin/varnel-radio-sim"}) {
        const auto permissions = std::filesystem::status(Unpacked(program)).permissions();
        EXPECT_NE(permissions & std::filesystem::perms::others_exec, std::filesystem::perms::none)
            << program;
    }
}

TEST_F(PackageContents, IconsComeInEverySizeTheDesktopAsksFor) {
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const std::string name = std::to_string(size) + "x" + std::to_string(size);
        const std::string path = "usr/share/icons/hicolor/" + name + "/apps/varnel.png";
        bool ok = false;
        const std::string png = ReadWholeFile(Unpacked(path), ok);
        ASSERT_TRUE(ok) << "missing " << path;
        int width = 0;
        int height = 0;
        ASSERT_TRUE(PngSize(png, width, height)) << path << " is not a PNG";
        EXPECT_EQ(width, size) << path;
        EXPECT_EQ(height, size) << path;
    }
}

// A package left over from an older build would pass every other check; the files it ships must
// be the ones in this source tree.
TEST_F(PackageContents, ShipsTheFilesOfThisSourceTree) {
    const struct {
        const char* source;
        const char* shipped;
        bool gzipped;
    } files[] = {
        {"packaging/varnel.desktop", "usr/share/applications/varnel.desktop", false},
        {"artwork/varnel.svg", "usr/share/icons/hicolor/scalable/apps/varnel.svg", false},
        {"packaging/com.tessaran.Varnel.metainfo.xml",
         "usr/share/metainfo/com.tessaran.Varnel.metainfo.xml", false},
        {"packaging/copyright", "usr/share/doc/varnel/copyright", false},
        {"packaging/changelog", "usr/share/doc/varnel/changelog.gz", true},
        {"man/varnel.1", "usr/share/man/man1/varnel.1.gz", true},
        {"man/varnel-radio-sim.1", "usr/share/man/man1/varnel-radio-sim.1.gz", true},
    };
    for (const auto& file : files) {
        bool ok = false;
        const std::string source = ReadWholeFile(SourcePath(file.source), ok);
        ASSERT_TRUE(ok) << file.source;
        std::string shipped;
        if (file.gzipped) {
            const ProcessResult gunzip = RunProcess({"gzip", "-dc", Unpacked(file.shipped)});
            ASSERT_TRUE(gunzip.ExitedWith(0)) << file.shipped << ": " << gunzip.Describe();
            shipped = gunzip.out;
        } else {
            shipped = ReadWholeFile(Unpacked(file.shipped), ok);
            ASSERT_TRUE(ok) << file.shipped;
        }
        EXPECT_EQ(shipped, source) << file.shipped << " differs from " << file.source
                                   << ": the package is older than the source tree";
    }
}

// One version everywhere a user or a software centre reads it: the newest entry of the changelog
// and of the metainfo releases, and the title line of every manual page.
TEST(PackageDocuments, NameTheProjectVersion) {
    const struct {
        const char* source;
        const char* firstLineWith;
        const char* expected;
    } documents[] = {
        {"packaging/changelog", "varnel (", "varnel (" VARNEL_VERSION ")"},
        {"packaging/com.tessaran.Varnel.metainfo.xml", "<release ",
         "<release version=\"" VARNEL_VERSION "\""},
        {"man/varnel.1", ".TH ", "\"Varnel " VARNEL_VERSION "\""},
        {"man/varnel-cli.1", ".TH ", "\"Varnel " VARNEL_VERSION "\""},
        {"man/varnel-radio-sim.1", ".TH ", "\"Varnel " VARNEL_VERSION "\""},
    };
    for (const auto& document : documents) {
        bool ok = false;
        const std::string text = ReadWholeFile(SourcePath(document.source), ok);
        ASSERT_TRUE(ok) << document.source;
        const std::string line = LinesWith(text, document.firstLineWith, false);
        EXPECT_NE(line.substr(0, line.find('\n')).find(document.expected), std::string::npos)
            << document.source << ": " << line.substr(0, line.find('\n'));
    }
}

TEST_F(PackageContents, DesktopEntryPassesDesktopFileValidate) {
    const ProcessResult run =
        RunProcess({"desktop-file-validate", Unpacked("usr/share/applications/varnel.desktop")});
    EXPECT_TRUE(run.ExitedWith(0)) << run.Describe() << run.out;
    EXPECT_EQ(LinesWith(run.out + run.err, ": error: ", false), "");
    if (!run.out.empty()) {
        std::cout << "desktop-file-validate:\n" << run.out;
    }
}

TEST_F(PackageContents, MetainfoPassesAppstreamValidate) {
    const ProcessResult run =
        RunProcess({"appstreamcli", "validate", "--no-net", "--explain",
                    Unpacked("usr/share/metainfo/com.tessaran.Varnel.metainfo.xml")});
    EXPECT_TRUE(run.ExitedWith(0)) << run.Describe() << run.out;
    std::cout << "appstreamcli validate --no-net:\n" << run.out;
}

TEST_F(PackageContents, LintianReportsNoErrors) {
    const ProcessResult run = RunProcess({"lintian", "--fail-on", "error", m_deb});
    EXPECT_TRUE(run.ExitedWith(0)) << run.Describe() << run.out;
    EXPECT_EQ(LinesWith(run.out, "E: ", true), "");
    const std::string warnings = LinesWith(run.out, "W: ", true);
    std::cout << "lintian warnings: " << (warnings.empty() ? "none\n" : "\n" + warnings);
}

TEST_F(PackageContents, ProgramsRunFromTheUnpackedPackage) {
    const struct {
        const char* program;
        const char* option;
        const char* firstLine;
    } runs[] = {
        {"usr/bin/varnel", "--version", "varnel " VARNEL_VERSION "\n"},
        {"usr/bin/varnel-radio-sim", "--help",
         "Usage: varnel-radio-sim [--profile FILE] [options]\n"},
    };
    for (const auto& r : runs) {
        const ProcessResult run = RunProcess({Unpacked(r.program), r.option}, WithoutDisplay());
        EXPECT_TRUE(run.ExitedWith(0)) << r.program << " " << r.option << ": " << run.Describe();
        EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1), r.firstLine) << r.program;
    }
}

}  // namespace
}  // namespace varnel::test
