// The settings file on a disk that fails: every failed step leaves the old file byte for byte
// and says what happened.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "settings/IniFileSettings.h"

namespace varnel {
namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/varnel-settings.XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_folder = pattern;
        m_path = m_folder + "/Tessaran/Varnel.conf";
    }
    void TearDown() override {
        ::chmod((m_folder + "/Tessaran").c_str(), 0755);
        (void)std::system(("rm -rf '" + m_folder + "'").c_str());
    }

    void WriteFile(const std::string& text) {
        ::mkdir((m_folder + "/Tessaran").c_str(), 0755);
        std::ofstream(m_path, std::ios::binary) << text;
    }
    std::string ReadFile() const {
        std::ifstream file(m_path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    std::string m_folder;
    std::string m_path;
};

const char kBench[] = "; bench 3\n[Ports]\nCOM1=/dev/ttyUSB0\n[Options]\nSerialPort=1\n";

// A disk that fills up part-way through the write: the file-size limit makes the write fail
// after the first bytes, as a full disk does.
TEST_F(SettingsFileTest, AFailedWriteLeavesTheOldFileAndSaysSo) {
    WriteFile(kBench);
    auto store = OpenIniFileSettings(m_path);
    const std::string longDevice = "/dev/" + std::string(64 * 1024, 'x');

    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = before;
    limited.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const std::string why = store->Write({{kPortsGroup, "COM2", longDevice}});
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_NE(why.find("cannot be written"), std::string::npos) << why;
    EXPECT_NE(why.find(m_path), std::string::npos) << why;
    EXPECT_EQ(ReadFile(), kBench);
    EXPECT_EQ(PortDeviceSetting(*store, "COM1"), "/dev/ttyUSB0");
    // Nothing is left beside it either.
    EXPECT_EQ(std::system(("test $(ls -A '" + m_folder + "/Tessaran' | wc -l) -eq 1").c_str()), 0);
}

TEST_F(SettingsFileTest, AReadOnlyFolderIsSaidAsSuch) {
    WriteFile(kBench);
    ASSERT_EQ(::chmod(m_folder.c_str(), 0755), 0);
    ASSERT_EQ(::chmod((m_folder + "/Tessaran").c_str(), 0555), 0);
    auto write = [this] {
        return OpenIniFileSettings(m_path)->Write({{kOptionsGroup, kSerialPortKey, "2"}});
    };
    if (::geteuid() != 0) {
        const std::string why = write();
        EXPECT_NE(why.find("cannot be written (Permission denied)"), std::string::npos) << why;
        EXPECT_EQ(why.find("another program"), std::string::npos) << why;
    } else {
        // Root writes into any folder: the write is made as a user whom the mode keeps out.
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
            const std::string why = dropped ? write() : std::string();
            ::_exit(
                dropped && why.find("cannot be written (Permission denied)") != std::string::npos &&
                        why.find("another program") == std::string::npos
                    ? 0
                    : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(ReadFile(), kBench);
}

TEST_F(SettingsFileTest, AWriterThatHoldsTheLockIsNamed) {
    WriteFile(kBench);
    const int folder = ::open((m_folder + "/Tessaran").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    // A lock of another open file description stands for another program.
    ASSERT_EQ(::flock(folder, LOCK_EX), 0);
    const std::string why = OpenIniFileSettings(m_path, std::chrono::milliseconds(50))
                                ->Write({{kOptionsGroup, kSerialPortKey, "2"}});
    ::close(folder);
    EXPECT_NE(why.find("another program is writing the settings file"), std::string::npos) << why;
    EXPECT_EQ(ReadFile(), kBench);
}

TEST_F(SettingsFileTest, APipeInPlaceOfTheFileIsNeitherReadNorWaitedOn) {
    ::mkdir((m_folder + "/Tessaran").c_str(), 0755);
    ASSERT_EQ(::mkfifo(m_path.c_str(), 0644), 0);
    auto store = OpenIniFileSettings(m_path);
    EXPECT_NE(store->Damage().find("not a plain file"), std::string::npos) << store->Damage();
    EXPECT_EQ(LoadSerialPortSetting(*store), 0);
    EXPECT_NE(SaveSerialPortSetting(*store, 2), "");
}

TEST_F(SettingsFileTest, AWriteReplacesTheFileWholeAndKeepsItsMode) {
    WriteFile(kBench);
    ASSERT_EQ(::chmod(m_path.c_str(), 0600), 0);
    auto store = OpenIniFileSettings(m_path);
    ASSERT_EQ(SaveSerialPortSetting(*store, 3), "");
    EXPECT_EQ(ReadFile(), "; bench 3\n[Ports]\nCOM1=/dev/ttyUSB0\n[Options]\nSerialPort=3\n");
    struct stat info {};
    ASSERT_EQ(::stat(m_path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(LoadSerialPortSetting(*store), 3);
}

TEST_F(SettingsFileTest, TheFirstWriteMakesTheFolders) {
    auto store = OpenIniFileSettings(m_folder + "/new/Tessaran/Varnel.conf");
    EXPECT_EQ(store->Damage(), "");
    ASSERT_EQ(SaveSerialPortSetting(*store, 0), "");
    EXPECT_EQ(LoadSerialPortSetting(*store), 0);
    EXPECT_EQ(store->ReadText(kOptionsGroup, kSerialPortKey), "0");
}

}  // namespace
}  // namespace varnel
