#pragma once

#include <string>
#include <vector>

#include "procedures/Session.h"
#include "tests/support/MemoryRegistry.h"
#include "tests/support/ScriptedSession.h"

namespace varnel::test {

// Notes what a front end would be told while a procedure runs.
class RecordingObserver final : public IExchangeObserver {
public:
    explicit RecordingObserver(const PortLog& log) : m_log(log) {}

    void ExchangeStarted() override { events.push_back(m_log.live == 1 ? "started" : "started?"); }
    void StepStarted(const ExchangeStep& step) override {
        events.push_back(step.description + (step.count > 0
                                                 ? " (" + std::to_string(step.number) + " of " +
                                                       std::to_string(step.count) + ")"
                                                 : std::string()));
    }
    void WriteConfirmed() override {
        events.push_back("write confirmed");
        ++writesConfirmed;
    }
    void ExchangeFinished() override {
        events.push_back(m_log.live == 0 ? "finished" : "finished?");
    }

    std::vector<std::string> events;
    int writesConfirmed = 0;

private:
    const PortLog& m_log;
};

// A scripted radio with a session on COM1 that records what the user is told, notes whether the
// port was open at each message, and what the observer saw.
class ProcedureFixture {
public:
    ProcedureFixture() {
        session.observer = &observer;
        radio.reporter.OnShow([this] {
            portOpenAtMessage.push_back(radio.log.live == 1);
            confirmedAtMessage.push_back(observer.writesConfirmed);
        });
    }

    // The port was closed and the link left detached, whatever the way out.
    void ExpectPortReleased() const {
        EXPECT_EQ(radio.log.live, 0);
        EXPECT_EQ(radio.link.m_pPort, nullptr);
        EXPECT_EQ(radio.link.m_pCancel, nullptr);
        EXPECT_NE(radio.link.m_status, RadioStatus::Cancelled);
    }

    ScriptedRadio radio;
    RecordingObserver observer{radio.log};
    MemoryRegistry& registry = radio.registry;
    Session session = radio.MakeSession();
    std::vector<bool> portOpenAtMessage;
    // How many writes the observer had been told were confirmed, at each message.
    std::vector<int> confirmedAtMessage;
};

using Bytes = std::vector<std::uint8_t>;

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts) {
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}

inline const Bytes kEndExchange = {0xF1, 0x10, 0xFE};

}  // namespace varnel::test
