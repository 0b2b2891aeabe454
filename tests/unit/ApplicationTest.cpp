// The application's commands as every window runs them, with a window that only notes what it
// was asked to show: which dialog, on which session, and what the application did with the
// answer.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "settings/SettingsStore.h"
#include "strings/StringTable.h"
#include "tests/support/RecordingReporter.h"
#include "usecases/Application.h"

namespace varnel {
namespace {

// A folder of the test's own: the ESN registry is a file in it, and the folder itself is a
// location no registry can be opened at.
class TempFolder {
public:
    TempFolder() {
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        m_path = std::filesystem::temp_directory_path() / ("varnel-app-" + std::to_string(now));
        std::filesystem::create_directories(m_path);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    std::string Path(const std::string& name = {}) const {
        return (name.empty() ? m_path : m_path / name).string();
    }

private:
    std::filesystem::path m_path;
};

std::unique_ptr<SettingsStore> SettingsWithRegistryAt(const std::string& location) {
    std::unique_ptr<SettingsStore> settings = OpenSettingsText("");
    EXPECT_EQ(SaveRegistryLocationSetting(*settings, location), "");
    return settings;
}

class NotingWindow final : public CApplication {
public:
    explicit NotingWindow(const std::string& registryLocation)
        : CApplication(SettingsWithRegistryAt(registryLocation)) {
        SetPortOpener([this](const std::string& name, const CancelToken*) {
            opened.push_back(name);
            return PortOpenResult{};
        });
    }

    // What was shown, one line each: the dialog, its session's port, whether it was handed a
    // registry, and the progress window's name.
    std::vector<std::string> shown;
    std::vector<std::string> opened;
    test::RecordingReporter reporter;
    std::optional<int> portChosen;
    int stationEndsOn = 0;
    std::optional<PortMappingAccess> mapping;
    std::optional<RegistryLocationAccess> registryAccess;

protected:
    IMessageReporter& Reporter() override { return reporter; }
    ProcedureRunner RunnerFor(const std::string& command) override {
        m_runnerName = command;
        return {};
    }
    void CloseMainWindow() override { shown.push_back("close"); }
    void ShowAbout() override { shown.push_back("About"); }
    void ShowRadioInfo(Session session) override { Note("Radio Info", session); }
    void ShowProgramEsn(Session session) override { Note("Program ESN", session); }
    void ShowProgramRegionalId(Session session) override { Note("Regional ID", session); }
    std::optional<int> ChoosePort(int current, PortMappingAccess access) override {
        shown.push_back("Configuration on " + std::to_string(current));
        mapping = std::move(access);
        return portChosen;
    }
    int RunProductionLine(Session session, int current) override {
        Note("Production Line on " + std::to_string(current), session);
        return stationEndsOn;
    }
    void ShowEsnRegistry(RegistryLocationAccess access) override {
        shown.push_back("ESN Registry");
        registryAccess = std::move(access);
    }

private:
    void Note(const std::string& dialog, const Session& session) {
        shown.push_back(dialog + ": " + session.portName + (session.registry ? " registry" : "") +
                        " '" + m_runnerName + "' from " + session.origin.port);
    }
    std::string m_runnerName;
};

TEST(Application, EachCommandShowsItsDialogOnTheSessionMadeForIt) {
    TempFolder folder;
    const struct {
        int command;
        std::string shown;
    } cases[] = {
        {ID_APP_ABOUT, "About"},
        {ID_RADIO_INFO, "Radio Info: COM3 'Radio Info' from COM3"},
        {ID_PROGRAM_ESN, "Program ESN: COM3 registry 'Program ESN' from COM3"},
        {ID_PROGRAM_REGIONAL_ID, "Regional ID: COM3 'Program Regional ID' from COM3"},
        {ID_PRODUCTION_LINE, "Production Line on 2: COM3 registry 'Production Line' from COM3"},
        {ID_CONFIGURATION, "Configuration on 2"},
        {ID_ESN_REGISTRY, "ESN Registry"},
        {ID_APP_EXIT, "close"},
    };
    for (const auto& c : cases) {
        NotingWindow app(folder.Path("esn.db"));
        app.m_nSerialPort = 2;
        app.stationEndsOn = 2;
        EXPECT_TRUE(app.Commands().Dispatch(c.command)) << c.shown;
        EXPECT_EQ(app.shown, std::vector<std::string>{c.shown});
        EXPECT_TRUE(app.reporter.Messages().empty()) << c.shown;
        EXPECT_TRUE(app.opened.empty()) << c.shown;  // a dialog opens its port itself
    }
}

// Without its registry, a command that writes ESNs says so and shows nothing: no ESN may leave.
TEST(Application, AWritingCommandWithoutItsRegistryGoesNoFurther) {
    TempFolder folder;
    for (const int command : {ID_PROGRAM_ESN, ID_PRODUCTION_LINE}) {
        NotingWindow app(folder.Path());  // a folder, which no registry is
        app.m_nSerialPort = 1;
        app.stationEndsOn = 3;
        app.Commands().Dispatch(command);
        EXPECT_TRUE(app.shown.empty()) << command;
        EXPECT_EQ(app.reporter.Ids(), std::vector<int>{IDS_REGISTRY_FAILED}) << command;
        EXPECT_EQ(app.m_nSerialPort, 1) << command;
    }
}

// The port the user leaves Configuration with by OK, or the station ends on, is the program's
// port from then on; Configuration's is written at once, as its port mapping is.
TEST(Application, ThePortIsTakenFromConfigurationsOkAndFromTheStation) {
    TempFolder folder;
    NotingWindow app(folder.Path("esn.db"));
    app.m_nSerialPort = 1;
    app.Commands().Dispatch(ID_CONFIGURATION);
    EXPECT_EQ(app.m_nSerialPort, 1);
    EXPECT_EQ(app.Settings().ReadText(kOptionsGroup, kSerialPortKey), std::nullopt);

    app.portChosen = 3;
    app.Commands().Dispatch(ID_CONFIGURATION);
    EXPECT_EQ(app.m_nSerialPort, 3);
    EXPECT_EQ(app.Settings().ReadText(kOptionsGroup, kSerialPortKey), "3");
    ASSERT_TRUE(app.mapping && app.mapping->write);
    EXPECT_EQ(app.mapping->reporter, &app.reporter);
    EXPECT_EQ(app.mapping->write({{"COM2", "/dev/ttyACM0"}}), "");
    EXPECT_EQ(PortDeviceSetting(app.Settings(), "COM2"), "/dev/ttyACM0");

    app.stationEndsOn = 0;
    app.Commands().Dispatch(ID_PRODUCTION_LINE);
    EXPECT_EQ(app.m_nSerialPort, 0);
}

// The ESN Registry dialog gets the stored location, and what it keeps is the location from then
// on, for the next write.
TEST(Application, TheRegistryLocationKeptIsTheOneTheNextWriteUses) {
    TempFolder folder;
    NotingWindow app(folder.Path());
    app.Commands().Dispatch(ID_ESN_REGISTRY);
    ASSERT_TRUE(app.registryAccess && app.registryAccess->open && app.registryAccess->write);
    EXPECT_EQ(app.registryAccess->stored, folder.Path());
    EXPECT_EQ(app.registryAccess->write(folder.Path("kept.db")), "");

    app.Commands().Dispatch(ID_PROGRAM_ESN);
    EXPECT_TRUE(app.reporter.Messages().empty());
    ASSERT_EQ(app.shown.size(), 2u);
    EXPECT_NE(app.shown[1].find(" registry "), std::string::npos) << app.shown[1];
}

}  // namespace
}  // namespace varnel
