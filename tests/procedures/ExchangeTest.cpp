#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "procedures/Exchange.h"
#include "procedures/PortList.h"
#include "procedures/RadioInfo.h"
#include "procedures/SerialPortOpener.h"
#include "strings/StringTable.h"
#include "tests/procedures/ProcedureFixture.h"

namespace varnel {
namespace {

using test::ProcedureFixture;

TEST(Exchange, APortThatDoesNotOpenIsToldWithItsNameAndReasonAndNothingIsSent) {
    ProcedureFixture f;
    f.session.portName = "COM2";
    f.radio.portAvailable = false;
    f.radio.unavailableDetail = "/dev/ttyS1: no such device.";
    const RadioInfoResult result = ReadRadioInfo(f.session);
    EXPECT_EQ(result.outcome, Outcome::PortNotOpened);
    ASSERT_EQ(f.radio.reporter.Ids(), std::vector<int>{IDS_PORT_OPEN_FAILED});
    const auto& message = f.radio.reporter.Messages()[0];
    EXPECT_EQ(message.text,
              "The serial port COM2 could not be opened.\nIt may be in use by another program.");
    EXPECT_EQ(message.caption, "Error");
    EXPECT_EQ(message.detail, "/dev/ttyS1: no such device.");
    EXPECT_EQ(f.radio.log.opened, std::vector<std::string>{"COM2"});
    EXPECT_TRUE(f.radio.Written().empty());
    EXPECT_TRUE(f.observer.events.empty());  // never busy
}

// A port name mapped to another device, as the settings keep it and as it is opened.
#ifdef _WIN32
const char* const kMissingMapped = "COM250";
const char* const kMissingMappedDevice = "\\\\.\\COM250";
const char* const kMapped = "COM7";
const char* const kMappedDevice = "\\\\.\\COM7";
#else
const char* const kMissingMapped = "/nonexistent/ttyUSB7";
const char* const kMissingMappedDevice = kMissingMapped;
const char* const kMapped = "/dev/ttyUSB0";
const char* const kMappedDevice = kMapped;
#endif

TEST(SerialPortOpener, AFailedOpenSaysWhichDeviceAndWhy) {
    const PortOpener open = SerialPortOpener(
        [](const std::string& name) { return name == "COM1" ? kMissingMapped : ""; });
    const PortOpenResult result = open("COM1", nullptr);
    EXPECT_EQ(result.port, nullptr);
    EXPECT_NE(result.detail.find(kMissingMappedDevice), std::string::npos) << result.detail;
    // A name of no device is never opened, and still explained.
    const PortOpenResult none = open("COM0", nullptr);
    EXPECT_EQ(none.port, nullptr);
    EXPECT_FALSE(none.detail.empty());
}

TEST(Exchange, TheAbortWayLeavesOutEndExchangeAndAnyWayOutReleasesThePort) {
    ProcedureFixture f;
    {
        Exchange exchange(f.session);
        ASSERT_TRUE(exchange.Open());
        EXPECT_EQ(f.radio.log.live, 1);
        EXPECT_NE(f.radio.link.m_pPort, nullptr);
        EXPECT_EQ(f.radio.link.m_pReporter, &f.radio.reporter);
        EXPECT_EQ(f.radio.link.m_pClock, &f.radio.clock);
        f.radio.link.m_status = RadioStatus::NotSupported;
        EXPECT_EQ(exchange.TakeStatus(), RadioStatus::NotSupported);
        EXPECT_EQ(f.radio.link.m_status, RadioStatus::Ok);
        // Leaving the scope without End or Abort, as an exception would.
    }
    EXPECT_TRUE(f.radio.Written().empty());
    EXPECT_EQ(f.observer.events, (std::vector<std::string>{"started", "finished"}));
    // The session's reporter and clock may not outlive it: the link keeps neither, nor any
    // other in their place.
    EXPECT_EQ(f.radio.link.m_pReporter, nullptr);
    EXPECT_EQ(f.radio.link.m_pClock, nullptr);
    f.ExpectPortReleased();
}

TEST(Exchange, ALinkWithoutItsClockOrReporterSendsNothing) {
    const struct {
        const char* name;
        bool clock;
        bool reporter;
    } cases[] = {
        {"no clock", false, true}, {"no reporter", true, false}, {"neither", false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::ScriptedLink s;
        s.port.Answer(test::ReadAnswer(std::vector<int>{1}));
        s.link.m_pClock = c.clock ? &s.clock : nullptr;
        s.link.m_pReporter = c.reporter ? &s.reporter : nullptr;
        char value[CRadioLink::kValueSize] = {};
        std::uint32_t length = 0;
        EXPECT_FALSE(s.link.ReadParameter(value, PARAM_MODEL_NUMBER, length, false));
        EXPECT_FALSE(s.link.EndExchange());
        EXPECT_EQ(s.link.m_status, RadioStatus::NoPort);
        EXPECT_TRUE(s.port.Written().empty());
        if (c.reporter) {
            ASSERT_FALSE(s.reporter.Ids().empty());
            EXPECT_EQ(s.reporter.Ids().front(), IDS_NO_PORT);
        }
    }
}

TEST(Exchange, OutcomesOfAFailedCommandFollowItsStatus) {
    const std::map<RadioStatus, Outcome> cases = {
        {RadioStatus::Ok, Outcome::Refused},
        {RadioStatus::NotSupported, Outcome::Refused},
        {RadioStatus::WriteRejected, Outcome::Refused},
        {RadioStatus::NoResponse, Outcome::LinkFailed},
        {RadioStatus::Incomplete, Outcome::LinkFailed},
        {RadioStatus::TooLong, Outcome::LinkFailed},
        {RadioStatus::ChecksumError, Outcome::LinkFailed},
        {RadioStatus::NoPort, Outcome::LinkFailed},
        {RadioStatus::Cancelled, Outcome::Cancelled},
    };
    for (const auto& [status, outcome] : cases) {
        EXPECT_EQ(OutcomeOfFailure(status), outcome) << static_cast<int>(status);
    }
}

// The link leaves Ok after a NAK and after an unexpected answer alike; the exchange tells them
// apart, and forgets an unexpected answer once it is taken or a new exchange opens.
TEST(Exchange, AnUnexpectedAnswerIsAFailedLinkAndANakARefusal) {
    ProcedureFixture f;
    Exchange exchange(f.session);
    f.radio.link.m_unexpectedAnswer = true;  // left by an earlier exchange
    ASSERT_TRUE(exchange.Open());
    const struct {
        std::vector<int> answer;
        Outcome outcome;
    } cases[] = {
        {test::kNak, Outcome::Refused},
        {test::Concat({test::kAck, test::Frame(7)}), Outcome::LinkFailed},
        {test::Concat({test::kAck, test::kNak}), Outcome::Refused},
    };
    for (const auto& c : cases) {
        f.radio.line.Answer(c.answer);
        char value[CRadioLink::kValueSize];
        std::uint32_t length = 0;
        EXPECT_FALSE(exchange.Link().ReadParameter(value, 0, length, false));
        const RadioStatus status = exchange.TakeStatus();
        EXPECT_EQ(status, RadioStatus::Ok);
        EXPECT_EQ(exchange.FailureOutcome(status), c.outcome);
        EXPECT_FALSE(f.radio.link.m_unexpectedAnswer);
    }
    exchange.Abort();
}

TEST(PortList, ComOneToFourWithTheirDevicesAndHowTheyStand) {
    const PortResolver resolver = [](const std::string& name) {
        return name == "COM2" ? std::string(kMapped) : std::string();
    };
    const std::map<std::string, PortPresence> devices = {
        {DefaultPortDevice("COM1"), PortPresence::Present},
        {kMappedDevice, PortPresence::Unavailable},
    };
    std::vector<std::string> probed;
    const auto ports = ListPorts(resolver, [&](const std::string& device) {
        probed.push_back(device);
        auto it = devices.find(device);
        return it == devices.end() ? PortPresence::Missing : it->second;
    });
    ASSERT_EQ(ports.size(), 4u);
    EXPECT_EQ(probed,
              (std::vector<std::string>{DefaultPortDevice("COM1"), kMappedDevice,
                                        DefaultPortDevice("COM3"), DefaultPortDevice("COM4")}));
    EXPECT_EQ(ports[0].name, "COM1");
    EXPECT_EQ(ports[0].presence, PortPresence::Present);
    EXPECT_EQ(ports[1].index, 1);
    EXPECT_EQ(ports[1].device, kMappedDevice);
    EXPECT_EQ(ports[1].presence, PortPresence::Unavailable);
    EXPECT_EQ(ports[3].name, "COM4");
    EXPECT_EQ(ports[3].presence, PortPresence::Missing);
}

}  // namespace
}  // namespace varnel
