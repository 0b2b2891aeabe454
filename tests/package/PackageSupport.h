#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>

namespace varnel::test {

// A file of the source tree, by its path from the top.
std::string SourcePath(const std::string& relative);
// The whole file; ok tells whether it could be read.
std::string ReadWholeFile(const std::string& path, bool& ok);

// The long options (--name) named in a program's --help text, and in a manual page's roff
// source, where they are written with escaped hyphens and font changes (\fB\-\-port\fR).
// Comment lines of the roff source do not count.
std::set<std::string> LongOptionsInText(const std::string& text);
std::set<std::string> LongOptionsInManPage(const std::string& roff);

// Width and height from a PNG's header; false when the bytes are not a PNG.
bool PngSize(const std::string& bytes, int& width, int& height);

// A folder of its own under TMPDIR, removed with everything in it when the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// The .deb that the release build made, unpacked with dpkg-deb -x into a scratch folder before
// each test. A missing package fails the test: these checks exist to prove the package is good.
class UnpackedPackageTest : public ::testing::Test {
protected:
    void SetUp() override;
    // A path inside the unpacked package, such as "usr/bin/varnel".
    std::string Unpacked(const std::string& relative) const;

    std::string m_deb;
    ScratchFolder m_scratch;
};

// A program that ships with a manual page, and the build of it that answers --help.
struct DocumentedProgram {
    const char* name;
    const char* binary;
};
// Test listings show the program's name, not the bytes of the struct.
void PrintTo(const DocumentedProgram& program, std::ostream* os);

// Every option that the manual page names is one that --help names, and the other way round.
class ManPageMatchesHelp : public ::testing::TestWithParam<DocumentedProgram> {};

std::string ProgramName(const ::testing::TestParamInfo<DocumentedProgram>& info);

}  // namespace varnel::test
