#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "link/SerialPort.h"
#include "procedures/RadioInfo.h"
#include "procedures/SerialPortOpener.h"
#include "strings/StringTable.h"
#include "tests/support/ScriptedSession.h"
#include "tools/radio-sim/PseudoTerminal.h"
#include "ui/ExchangeRunner.h"

namespace varnel {
namespace {

using test::kAck;
using test::ReadAnswer;

// A line that takes real time: every read waits a while on the wall clock before it gives the
// scripted line's answer, as a slow radio would.
class SlowPort final : public IBytePort {
public:
    SlowPort(IBytePort& line, int readMs) : m_line(line), m_readMs(readMs) {}
    int ReadByte() override {
        std::this_thread::sleep_for(std::chrono::milliseconds(m_readMs));
        return m_line.ReadByte();
    }
    int WriteByte(int value) override { return m_line.WriteByte(value); }
    void PurgeInput() override { m_line.PurgeInput(); }

private:
    IBytePort& m_line;
    int m_readMs;
};

// A radio that answers every Radio Info read, slowly.
class SlowRadio {
public:
    explicit SlowRadio(int readMs) : m_slow(radio.line, readMs) {
        radio.linePort = &m_slow;
        for (const auto& query : kRadioInfoQueries) {
            radio.line.Answer(ReadAnswer(std::string(query.id == 2 ? 5 : 3, 'v')));
        }
        radio.line.Answer(kAck);
    }
    Session MakeSession(CExchangeRunner& runner) {
        Session session = radio.MakeSession();
        session.runner = runner.For("Radio Info", nullptr);
        return session;
    }

    test::ScriptedRadio radio;

private:
    SlowPort m_slow;
};

TEST(ExchangeRunner, TheWindowKeepsPaintingAndInputGivenMeanwhileIsDropped) {
    CExchangeRunner runner;
    SlowRadio slow(4);
    Session session = slow.MakeSession(runner);

    QWidget window;
    auto* button = new QPushButton(QStringLiteral("Radio Info"), &window);
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    int ticks = 0;
    bool busyCursor = false;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        const QCursor* cursor = QApplication::overrideCursor();
        busyCursor = busyCursor || (cursor && cursor->shape() == Qt::BusyCursor);
    });
    ticker.start(10);
    QTimer::singleShot(50, [&] {
        QTest::mouseClick(button, Qt::LeftButton);
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Space);
    });

    const RadioInfoResult result = RunProcedure(session, ReadRadioInfo);
    ticker.stop();
    QCoreApplication::processEvents();

    EXPECT_EQ(result.outcome, Outcome::Done);
    EXPECT_GE(ticks, 10);  // the user-interface thread went on serving its timers
    EXPECT_TRUE(busyCursor);
    EXPECT_EQ(clicks, 0);  // dropped, and not replayed afterwards either
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(runner.IsRunning());
}

TEST(ExchangeRunner, AMessageHoldsTheExchangeWhileItIsUpWithTheArrowCursor) {
    CExchangeRunner runner;
    test::ScriptedRadio radio;
    radio.line.Answer(test::kNak);  // to the Model Number: a box, then the reads go on
    for (std::size_t i = 1; i < kRadioInfoFieldCount; ++i) {
        radio.line.Answer(ReadAnswer("v"));
    }
    radio.line.Answer(kAck);
    Session session = radio.MakeSession();
    session.runner = runner.For("Radio Info", nullptr);

    bool onGuiThread = false;
    bool arrow = false;
    std::size_t writtenWhenShown = 0;
    std::size_t writtenWhenDismissed = 0;
    int portsOpenMeanwhile = 0;
    radio.reporter.OnShow([&] {
        onGuiThread = QThread::currentThread() == qApp->thread();
        const QCursor* cursor = QApplication::overrideCursor();
        arrow = cursor && cursor->shape() == Qt::ArrowCursor;
        writtenWhenShown = radio.Written().size();
        QTest::qWait(150);  // the user reads the box
        writtenWhenDismissed = radio.Written().size();
        portsOpenMeanwhile = radio.log.live;
    });

    const RadioInfoResult result = RunProcedure(session, ReadRadioInfo);

    EXPECT_EQ(result.outcome, Outcome::Done);
    EXPECT_EQ(radio.reporter.Ids(), std::vector<int>{IDS_NAK_RECEIVED});
    EXPECT_TRUE(onGuiThread);
    EXPECT_TRUE(arrow);
    EXPECT_EQ(writtenWhenShown, writtenWhenDismissed);  // nothing went out while the box was up
    EXPECT_EQ(portsOpenMeanwhile, 1);
    EXPECT_EQ(radio.log.live, 0);
}

TEST(ExchangeRunner, TheProgressWindowNeverCoversTheBoxOfAPortThatDidNotOpen) {
    CExchangeRunner runner;
    test::ScriptedRadio radio;
    radio.portAvailable = false;
    Session session = radio.MakeSession();
    session.runner = runner.For("Radio Info", nullptr);
    bool progressWhileBoxUp = true;
    radio.reporter.OnShow([&] {
        QTest::qWait(CExchangeRunner::kProgressDelayMs + 200);  // the user reads the box
        progressWhileBoxUp = runner.ProgressWindow() != nullptr;
    });
    EXPECT_EQ(RunProcedure(session, ReadRadioInfo).outcome, Outcome::PortNotOpened);
    EXPECT_EQ(radio.reporter.Ids(), std::vector<int>{IDS_PORT_OPEN_FAILED});
    EXPECT_FALSE(progressWhileBoxUp);
    EXPECT_EQ(runner.ProgressWindow(), nullptr);
}

// Enter on the progress window's Cancel stops an exchange until the radio confirms a write;
// after that (a key held down, Enter pressed again once the success box has gone) only the end
// of the exchange is left, and Enter no longer stops it. Escape still does.
TEST(ExchangeRunner, EnterCancelsOnlyUntilTheRadioConfirmsAWrite) {
    const struct {
        bool writeConfirmed;
        Qt::Key key;
        bool cancels;
    } cases[] = {
        {false, Qt::Key_Return, true},
        {true, Qt::Key_Return, false},
        {true, Qt::Key_Enter, false},
        {true, Qt::Key_Escape, true},
    };
    for (const auto& c : cases) {
        CExchangeRunner runner;
        test::ScriptedRadio radio;
        Session session = radio.MakeSession();
        session.runner = runner.For("Program ESN", nullptr);
        std::atomic<bool> pressed{false};
        QTimer::singleShot(CExchangeRunner::kProgressDelayMs + 100, [&] {
            QProgressDialog* progress = runner.ProgressWindow();
            ASSERT_NE(progress, nullptr);
            auto* cancel = progress->findChild<QPushButton*>();
            ASSERT_NE(cancel, nullptr);
            progress->activateWindow();
            cancel->setFocus();
            for (int i = 0; i < 3; ++i) {
                QTest::keyClick(cancel, c.key);
            }
            pressed = true;
        });
        // Stands for the exchange: the port opens, perhaps the write is confirmed, and then the
        // end of the exchange waits, as long as nothing stops it, for the keys to come.
        const bool cancelled = RunProcedure(session, [&](Session& s) {
            s.observer->ExchangeStarted();
            if (c.writeConfirmed) {
                s.observer->WriteConfirmed();
            }
            bool stopped = false;
            for (int waited = 0; waited < 3000 && !stopped; waited += 10) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                stopped = s.cancel->IsCancelled() ||
                          (pressed && waited > CExchangeRunner::kProgressDelayMs + 300);
            }
            s.observer->ExchangeFinished();
            return s.cancel->IsCancelled();
        });
        EXPECT_TRUE(pressed);
        EXPECT_EQ(cancelled, c.cancels) << "confirmed " << c.writeConfirmed << ", key " << c.key;
    }
}

// A real serial port on a pseudo-terminal whose far end never answers.
class SilentLine : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_pty.Open(error)) << error;
    }
    Session MakeSession(CExchangeRunner& runner) {
        Session session(
            m_link, reporter, SystemClock(),
            SerialPortOpener([path = m_pty.SlavePath()](const std::string&) { return path; }),
            "COM1");
        session.runner = runner.For("Radio Info", nullptr);
        return session;
    }
    bool PortIsFree() {
        CSerialPort port;
        return port.Open(m_pty.SlavePath());
    }

    sim::PseudoTerminal m_pty;
    CRadioLink m_link;
    test::RecordingReporter reporter;
};

TEST_F(SilentLine, TheProgressWindowComesAfterAMomentAndCancelStopsTheExchangeAtOnce) {
    CExchangeRunner runner;
    Session session = MakeSession(runner);
    QString title;
    QString step;
    bool shownEarly = false;
    QElapsedTimer sinceCancel;
    QTimer::singleShot(CExchangeRunner::kProgressDelayMs / 2,
                       [&] { shownEarly = runner.ProgressWindow() != nullptr; });
    QTimer::singleShot(CExchangeRunner::kProgressDelayMs + 200, [&] {
        QProgressDialog* progress = runner.ProgressWindow();
        ASSERT_NE(progress, nullptr);
        title = progress->windowTitle();
        step = progress->labelText();
        sinceCancel.start();
        QTest::keyClick(progress, Qt::Key_Escape);
    });

    const RadioInfoResult result = RunProcedure(session, ReadRadioInfo);
    const qint64 stopMs = sinceCancel.elapsed();

    EXPECT_FALSE(shownEarly);
    EXPECT_EQ(title, "Varnel - Radio Info");
    EXPECT_EQ(step, "Reading Model Number (1 of 11)");
    EXPECT_EQ(result.outcome, Outcome::Cancelled);
    // The read under way would otherwise have waited most of a second for the echo.
    EXPECT_LT(stopMs, 500);
    EXPECT_TRUE(reporter.Messages().empty());  // no box after a cancel
    EXPECT_EQ(runner.ProgressWindow(), nullptr);
    EXPECT_TRUE(PortIsFree());
    EXPECT_EQ(m_link.m_pPort, nullptr);
}

TEST_F(SilentLine, ClosingTheWindowMidExchangeCancelsItAndTheWindowGoesAfterwards) {
    CExchangeRunner runner;
    Session session = MakeSession(runner);
    QWidget window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    bool closedAtOnce = true;
    QTimer::singleShot(100, [&] { closedAtOnce = window.close(); });

    const RadioInfoResult result = RunProcedure(session, ReadRadioInfo);
    EXPECT_FALSE(closedAtOnce);
    EXPECT_EQ(result.outcome, Outcome::Cancelled);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 1000));
    EXPECT_TRUE(reporter.Messages().empty());
}

}  // namespace
}  // namespace varnel
