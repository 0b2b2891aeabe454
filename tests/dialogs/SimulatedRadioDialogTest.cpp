// The radio dialogs end to end in real time: the application's own port opener, the real serial
// port on the simulated radio's pseudo-terminal (mapped to COM1 as a user maps an adapter), the
// application's link on the system clock, and the dialogs run modally as their commands run them.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/VarnelApp.h"
#include "dialogs/ProgramEsnDlg.h"
#include "dialogs/ProgramRegionalIdDlg.h"
#include "dialogs/RadioInfoDlg.h"
#include "link/PortNames.h"
#include "strings/StringTable.h"
#include "tests/dialogs/DialogFixture.h"
#include "tests/support/QtTestSupport.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/ShippedRadio.h"
#include "tools/radio-sim/RadioSimulator.h"

namespace varnel {
namespace {

class SimulatedRadio : public ::testing::Test {
protected:
    void Start(const char* profileName) {
        std::string error;
        m_profile = test::ShippedProfile(profileName);
        m_sim = std::make_unique<sim::RadioSimulator>(m_profile);
        ASSERT_TRUE(m_sim->Start(&error)) << error;
        // COM1, the application's port, is the simulator's line.
        m_app.SetPortResolver([path = m_sim->SlavePath()](const std::string& name) {
            return name == "COM1" ? path : DefaultPortDevice(name);
        });
    }
    void TearDown() override {
        if (m_sim) {
            m_sim->Stop();
        }
    }

    // The application's session, run off the user-interface thread as in the window, with its
    // messages recorded instead of shown in boxes, and the application's ESN registry (in the
    // test's private data folder).
    Session MakeSession(int commandId) {
        const Session app = m_app.MakeSession(commandId);
        Session session(app.link, m_reporter, app.clock, app.openPort, app.portName);
        session.runner = app.runner;
        session.origin = app.origin;
        std::string why;
        session.registry = m_app.Registry(why);
        EXPECT_NE(session.registry, nullptr) << why;
        return session;
    }

    std::vector<std::uint8_t> RequestOpcodesAndIds() const {
        std::vector<std::uint8_t> seen;
        for (const sim::RequestRecord& request : m_sim->Requests()) {
            seen.push_back(request.opcode);
            if (!request.data.empty()) {
                seen.push_back(request.data[0]);
            }
        }
        return seen;
    }

    CVarnelApp m_app;
    test::RecordingReporter m_reporter;
    sim::RadioProfile m_profile;
    std::unique_ptr<sim::RadioSimulator> m_sim;
};

TEST_F(SimulatedRadio, RadioInfoShowsAProgrammedRadio) {
    Start("programmed.profile");
    CRadioInfoDlg dialog(MakeSession(ID_RADIO_INFO));
    std::map<int, std::string> shown;
    const test::ModalRun run = test::RunModal<CRadioInfoDlg>(dialog, [&](CRadioInfoDlg& d) {
        for (int id : {CRadioInfoDlg::IDC_MODEL_NUMBER, CRadioInfoDlg::IDC_ESN,
                       CRadioInfoDlg::IDC_REGIONAL_ID, CRadioInfoDlg::IDC_UUID}) {
            shown[id] = d.GetDlgItemText(id).toStdString();
        }
        d.GetButton(kIdOk)->click();
    });
    EXPECT_TRUE(run.shown);
    EXPECT_EQ(run.result, kIdOk);
    EXPECT_EQ(shown[CRadioInfoDlg::IDC_MODEL_NUMBER], "ID = $45 $12");
    EXPECT_EQ(shown[CRadioInfoDlg::IDC_ESN], "130/05/123456");
    EXPECT_EQ(shown[CRadioInfoDlg::IDC_REGIONAL_ID], "North America");
    EXPECT_EQ(shown[CRadioInfoDlg::IDC_UUID], "00010203-0405-0607-0809-0A0B0C0D0E0F");
    EXPECT_EQ(RequestOpcodesAndIds(),
              (std::vector<std::uint8_t>{35, 0,  35, 1, 35, 3,  35, 4,  35, 10, 35, 11,
                                         35, 12, 35, 2, 35, 16, 35, 15, 35, 14, 16}));
    EXPECT_TRUE(m_reporter.Messages().empty());
    EXPECT_EQ(m_app.GetRadioLink().m_pPort, nullptr);
}

TEST_F(SimulatedRadio, ProgramEsnWritesABlankRadioOnce) {
    Start("blank.profile");
    CProgramEsnDlg dialog(MakeSession(ID_PROGRAM_ESN));
    ASSERT_TRUE(dialog.OnInitDialog());
    ASSERT_FALSE(dialog.IsEnded());
    dialog.SetDlgItemText(CProgramEsnDlg::IDC_ESN_FIELD1, "130");
    dialog.SetDlgItemText(CProgramEsnDlg::IDC_ESN_FIELD2, "5");
    dialog.SetDlgItemText(CProgramEsnDlg::IDC_ESN_FIELD3, "123456");
    dialog.OnOK();
    EXPECT_EQ(m_reporter.Ids(), std::vector<int>{IDS_ESN_PROGRAMMED})
        << (m_reporter.Messages().empty() ? "" : m_reporter.Messages()[0].detail);
    EXPECT_EQ(dialog.Result(), kIdOk);
    EXPECT_EQ(m_sim->Value(2), (sim::Bytes{0x82, 0x51, 0xE2, 0x40, 0x4C}));
    EXPECT_EQ(RequestOpcodesAndIds(), (std::vector<std::uint8_t>{35, 2, 16, 24, 1, 16}));

    // The registry holds the ESN as confirmed, by this station.
    std::string why;
    RegistryError error;
    const auto entry = m_app.Registry(why)->Find("130/05/123456", error);
    ASSERT_TRUE(entry.has_value()) << error.message;
    EXPECT_EQ(entry->state, EsnState::Confirmed);
    EXPECT_FALSE(entry->origin.station.empty());

    // The radio is programmed now: the next opening refuses it.
    m_reporter.Clear();
    CProgramEsnDlg again(MakeSession(ID_PROGRAM_ESN));
    EXPECT_EQ(again.DoModal(), kIdCancel);
    EXPECT_EQ(m_reporter.Ids(), std::vector<int>{IDS_ESN_ALREADY_PROGRAMMED});
    EXPECT_EQ(m_app.GetRadioLink().m_pPort, nullptr);
}

TEST_F(SimulatedRadio, ChoosingAsiaProgramsTheRegionalId) {
    Start("blank.profile");
    CProgramRegionalIdDlg dialog(MakeSession(ID_PROGRAM_REGIONAL_ID));
    const test::ModalRun run =
        test::RunModal<CProgramRegionalIdDlg>(dialog, [](CProgramRegionalIdDlg& d) {
            QComboBox* list = d.GetComboBox(CProgramRegionalIdDlg::IDC_REGIONAL_ID);
            list->setCurrentIndex(list->findText("Asia"));
            d.GetButton(kIdOk)->click();
        });
    EXPECT_TRUE(run.shown);
    EXPECT_EQ(run.result, kIdOk);
    EXPECT_EQ(m_reporter.Ids(), std::vector<int>{IDS_REGION_PROGRAMMED});
    EXPECT_EQ(m_sim->Value(16), sim::Bytes{4});
    EXPECT_EQ(RequestOpcodesAndIds(), (std::vector<std::uint8_t>{35, 16, 16, 24, 4, 16}));
}

// The registry comes from the settings' location, else the default; one that cannot be used is
// no registry at all (Program ESN then says so and sends nothing), and the next use tries again.
TEST(AppRegistry, FollowsTheSettingsAndSaysWhyOneCannotBeUsed) {
    test::ClearSettings();
    CVarnelApp app;
    std::string why;
    test::WriteSettingsFile("[Registry]\nLocation=/proc/varnel-none/registry.sqlite\n");
    EXPECT_EQ(app.Registry(why), nullptr);
    EXPECT_EQ(
        why.rfind("The ESN registry /proc/varnel-none/registry.sqlite could not be opened: ", 0),
        0u)
        << why;
    test::ClearSettings();
    why.clear();
    IEsnRegistry* registry = app.Registry(why);
    ASSERT_NE(registry, nullptr) << why;
    EXPECT_EQ(registry->Location(), DefaultRegistryLocation());
    EXPECT_EQ(DefaultRegistryLocation().rfind(test::SettingsFolder().toStdString(), 0), 0u);
}

}  // namespace
}  // namespace varnel
