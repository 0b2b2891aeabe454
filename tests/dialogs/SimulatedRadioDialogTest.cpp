// The radio dialogs end to end in real time: the real serial port on the simulated radio's
// pseudo-terminal, the system clock, and the dialog run as the menu command runs it.
#include <gtest/gtest.h>

#if VARNEL_HAVE_RADIOSIM

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <map>
#include <string>
#include <vector>

#include "app/VarnelApp.h"
#include "dialogs/ProgramEsnDlg.h"
#include "dialogs/RadioInfoDlg.h"
#include "link/PortNames.h"
#include "link/RadioLink.h"
#include "strings/StringTable.h"
#include "tests/support/RecordingReporter.h"
#include "tools/radio-sim/RadioSimulator.h"

namespace varnel {
namespace {

class SimulatedRadio : public ::testing::Test {
protected:
    void Start(const char* profileName) {
        std::string error;
        ASSERT_TRUE(sim::LoadProfile(std::string(VARNEL_RADIOSIM_PROFILE_DIR) + "/" + profileName,
                                     m_profile, error))
            << error;
        m_sim = std::make_unique<sim::RadioSimulator>(m_profile);
        ASSERT_TRUE(m_sim->Start(&error)) << error;
        // COM1, the application's port, is the simulator's line.
        SetPortResolver([path = m_sim->SlavePath()](const std::string& name) {
            return name == "COM1" ? path : DefaultPortDevice(name);
        });
    }
    void TearDown() override {
        SetPortResolver(nullptr);
        if (m_sim) {
            m_sim->Stop();
        }
        g_radioLink.m_status = RadioStatus::Ok;
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
    CRadioInfoDlg dialog;
    std::map<int, std::string> shown;
    bool wasVisible = false;
    // Read the fields off the dialog once it is up, then close it as the user would.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (dialog.isVisible()) {
            wasVisible = true;
            for (int id : {CRadioInfoDlg::IDC_MODEL_NUMBER, CRadioInfoDlg::IDC_ESN,
                           CRadioInfoDlg::IDC_REGIONAL_ID, CRadioInfoDlg::IDC_UUID}) {
                shown[id] = dialog.GetDlgItemText(id).toStdString();
            }
            dialog.GetButton(IDOK)->click();
        }
    });
    poll.start(10);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(wasVisible);
    EXPECT_EQ(shown[CRadioInfoDlg::IDC_MODEL_NUMBER], "ID = $45 $12");
    EXPECT_EQ(shown[CRadioInfoDlg::IDC_ESN], "130/05/123456");
    EXPECT_EQ(shown[CRadioInfoDlg::IDC_REGIONAL_ID], "North America");
    EXPECT_EQ(shown[CRadioInfoDlg::IDC_UUID], "00010203-0405-0607-0809-0A0B0C0D0E0F");
    EXPECT_EQ(RequestOpcodesAndIds(),
              (std::vector<std::uint8_t>{35, 0,  35, 1, 35, 3,  35, 4,  35, 10, 35, 11,
                                         35, 12, 35, 2, 35, 16, 35, 15, 35, 14, 16}));
    EXPECT_TRUE(m_reporter.Messages().empty());
    EXPECT_EQ(g_radioLink.m_pPort, nullptr);
}

TEST_F(SimulatedRadio, ProgramEsnWritesABlankRadio) {
    Start("blank.profile");
    CProgramEsnDlg dialog;
    ASSERT_TRUE(dialog.OnInitDialog());
    ASSERT_FALSE(dialog.IsEnded());
    dialog.SetDlgItemText(CProgramEsnDlg::IDC_ESN_FIELD1, "130");
    dialog.SetDlgItemText(CProgramEsnDlg::IDC_ESN_FIELD2, "5");
    dialog.SetDlgItemText(CProgramEsnDlg::IDC_ESN_FIELD3, "123456");
    dialog.OnOK();
    EXPECT_EQ(m_reporter.Ids(), std::vector<int>{IDS_ESN_PROGRAMMED});
    EXPECT_EQ(dialog.Result(), IDOK);
    EXPECT_EQ(m_sim->Value(2), (sim::Bytes{0x82, 0x51, 0xE2, 0x40, 0x4C}));
    EXPECT_EQ(RequestOpcodesAndIds(), (std::vector<std::uint8_t>{35, 2, 16, 24, 1, 16}));

    // The radio is programmed now: the next opening refuses it.
    m_reporter.Clear();
    CProgramEsnDlg again;
    EXPECT_EQ(again.DoModal(), IDCANCEL);
    EXPECT_EQ(m_reporter.Ids(), std::vector<int>{IDS_ESN_ALREADY_PROGRAMMED});
}

}  // namespace
}  // namespace varnel

#endif
