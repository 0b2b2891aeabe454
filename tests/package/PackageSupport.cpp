#include "tests/package/PackageSupport.h"

#include <stdlib.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "tests/package/Process.h"

namespace varnel::test {

std::string SourcePath(const std::string& relative) {
    return std::string(VARNEL_SOURCE_DIR) + "/" + relative;
}

std::string ReadWholeFile(const std::string& path, bool& ok) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    ok = in.is_open();
    if (ok) {
        content << in.rdbuf();
        ok = !in.bad();
    }
    return content.str();
}

std::set<std::string> LongOptionsInText(const std::string& text) {
    // An option starts a word: "--port", "[--json]", "'--help'"; not "bad-checksum--x" and not
    // the single-hyphen suffixes of the fault names ("-ack").
    static const std::regex option("(^|[^A-Za-z0-9-])(--[A-Za-z0-9][A-Za-z0-9-]*)");
    std::set<std::string> options;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
         it != std::sregex_iterator(); ++it) {
        std::string name = (*it)[2].str();
        while (name.back() == '-') {
            name.pop_back();
        }
        options.insert(name);
    }
    return options;
}

std::set<std::string> LongOptionsInManPage(const std::string& roff) {
    static const std::regex fontChange(R"(\\f(\[[^\]]*\]|\(..|.))");
    std::istringstream lines(roff);
    std::string line;
    std::string text;
    while (std::getline(lines, line)) {
        if (line.rfind(".\\\"", 0) == 0 || line.rfind("'\\\"", 0) == 0 ||
            line.rfind("\\\"", 0) == 0) {
            continue;
        }
        line = std::regex_replace(line, fontChange, "");
        std::string plain;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '-') {
                plain += '-';
                ++i;
            } else if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '&') {
                ++i;  // the zero-width space of roff
            } else {
                plain += line[i];
            }
        }
        text += plain + "\n";
    }
    return LongOptionsInText(text);
}

bool PngSize(const std::string& bytes, int& width, int& height) {
    static const std::string signature("\x89PNG\r\n\x1a\n", 8);
    if (bytes.size() < 24 || bytes.compare(0, 8, signature) != 0 ||
        bytes.compare(12, 4, "IHDR") != 0) {
        return false;
    }
    auto big = [&](std::size_t at) {
        int value = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
        }
        return value;
    };
    width = big(16);
    height = big(20);
    return true;
}

ScratchFolder::ScratchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/varnel-package-test.XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) {
        m_path = pattern;
    }
}

ScratchFolder::~ScratchFolder() {
    if (!m_path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
}

void UnpackedPackageTest::SetUp() {
    ASSERT_FALSE(m_scratch.Path().empty()) << "no scratch folder could be made";
    const ProcessResult arch = RunProcess({"dpkg", "--print-architecture"});
    ASSERT_TRUE(arch.ExitedWith(0)) << "dpkg --print-architecture: " << arch.Describe();
    std::string architecture = arch.out;
    while (!architecture.empty() && std::isspace(static_cast<unsigned char>(architecture.back()))) {
        architecture.pop_back();
    }
    m_deb =
        std::string(VARNEL_PACKAGE_DIR) + "/varnel_" + VARNEL_VERSION + "_" + architecture + ".deb";
    ASSERT_TRUE(std::filesystem::is_regular_file(m_deb))
        << "no package at " << m_deb << "; make it with\n"
        << "  cmake --preset release && cmake --build --preset release --target package";
    const ProcessResult unpack = RunProcess({"dpkg-deb", "-x", m_deb, m_scratch.Path()});
    ASSERT_TRUE(unpack.ExitedWith(0)) << "dpkg-deb -x " << m_deb << ": " << unpack.Describe();
}

std::string UnpackedPackageTest::Unpacked(const std::string& relative) const {
    return m_scratch.Path() + "/" + relative;
}

void PrintTo(const DocumentedProgram& program, std::ostream* os) {
    *os << program.name;
}

std::string ProgramName(const ::testing::TestParamInfo<DocumentedProgram>& info) {
    std::string name = info.param.name;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            c = '_';
        }
    }
    return name;
}

}  // namespace varnel::test
