#include "fuzz/ProcedureChecks.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/LineRules.h"
#include "procedures/EsnProgramming.h"
#include "procedures/RadioInfo.h"
#include "procedures/RegionProgramming.h"
#include "radio/Catalogue.h"
#include "radio/Esn.h"
#include "radio/Regions.h"
#include "strings/StringTable.h"
#include "tests/support/MemoryRegistry.h"

namespace varnel::fuzz {
namespace {

using Bytes = std::vector<std::uint8_t>;

// What the line, the clock and the reporter held at one moment of a procedure.
struct Moment {
    std::int64_t atMs = 0;
    std::size_t written = 0;
    std::size_t messages = 0;
    std::uint64_t bytesRead = 0;
    bool cancelled = false;
};

// One step of a procedure, from its start to the start of the next or the closing of the port.
struct StepSeen {
    ExchangeStep step;
    Moment begin;
    Moment end;
    FrameSeen lastFrame;  // the frame the link received last when the step ended
    Bytes written;
    std::vector<int> messages;

    bool IsEnd() const { return step.count == 0; }
    std::int64_t Elapsed() const { return end.atMs - begin.atMs; }
    std::uint64_t BytesRead() const { return end.bytesRead - begin.bytesRead; }
    bool Told(int id) const {
        return std::find(messages.begin(), messages.end(), id) != messages.end();
    }
    // The last message the link raised during the step, 0 for none.
    int LastLinkMessage() const {
        const auto it = std::find_if(messages.rbegin(), messages.rend(), IsLinkMessage);
        return it == messages.rend() ? 0 : *it;
    }
};

const Bytes& EndRequest() {
    static const Bytes request = RequestBytes(radio_protocol::kEndExchangeRequest, {});
    return request;
}

// Watches one procedure through its session's observer: the port is opened once and closed
// again, the link is attached with the session's reporter and cancel token meanwhile and
// detached after, and each step is noted with what went on the line and what the user was told
// during it.
class ProcedureWatch final : public IExchangeObserver {
public:
    ProcedureWatch(FuzzLine& line, const char* name)
        : m_line(line), m_name(name), m_opensBefore(line.radio.log.opened.size()) {
        SetRuleContext(m_name);
        m_called = Now();
    }

    Session MakeSession() {
        Session session = m_line.radio.MakeSession("COM1");
        session.observer = this;
        session.cancel = m_line.Cancel();
        return session;
    }

    void ExchangeStarted() override {
        STREAM_RULE(!m_started);
        m_started = true;
        STREAM_RULE(m_line.radio.log.live == 1);
        CheckAttached();
        // Opening the port sends nothing and tells nothing.
        const Moment now = Now();
        STREAM_RULE(now.written == m_called.written && now.messages == m_called.messages);
        STREAM_RULE(now.atMs == m_called.atMs);
    }

    void StepStarted(const ExchangeStep& step) override {
        STREAM_RULE(m_started && !m_finished);
        CheckAttached();
        CloseStep();
        StepSeen seen;
        seen.step = step;
        seen.begin = Now();
        m_steps.push_back(std::move(seen));
    }

    void ExchangeFinished() override {
        STREAM_RULE(m_started && !m_finished);
        m_finished = true;
        CloseStep();
        // The port is closed before the front end hears that the exchange is over, and the link
        // keeps nothing of the session: no port, no token, no reporter, no clock.
        STREAM_RULE(m_line.radio.log.live == 0);
        const CRadioLink& link = m_line.Link();
        STREAM_RULE(link.m_pPort == nullptr);
        STREAM_RULE(link.m_pCancel == nullptr);
        STREAM_RULE(link.m_pReporter == nullptr);
        STREAM_RULE(link.m_pClock == nullptr);
        m_closed = Now();
    }

    // What holds for every procedure once it has returned. allowed are the messages of its own
    // that it may show besides the link's.
    void Finish(const std::vector<int>& allowed) {
        SetRuleContext(m_name);
        STREAM_RULE(m_started && m_finished);
        STREAM_RULE(m_line.radio.log.opened.size() == m_opensBefore + 1);
        STREAM_RULE(m_line.radio.log.live == 0);
        STREAM_RULE(m_line.Link().m_status != RadioStatus::Cancelled);
        // Once the port is closed nothing goes out and no time passes; what is told then is each
        // procedure's own matter.
        const Moment now = Now();
        STREAM_RULE(now.written == m_closed.written);
        STREAM_RULE(now.atMs == m_closed.atMs);
        m_afterClose = m_line.MessagesSince(m_closed.messages);
        // Every step begins with the port open; the steps follow one another without a gap.
        STREAM_RULE(!m_steps.empty());
        STREAM_RULE(m_steps.front().begin.atMs == m_called.atMs);
        STREAM_RULE(m_steps.front().begin.written == m_called.written);
        STREAM_RULE(m_steps.front().begin.messages == m_called.messages);
        for (std::size_t i = 0; i < m_steps.size(); ++i) {
            const StepSeen& step = m_steps[i];
            // The end of the exchange is the last step, if there is one.
            STREAM_RULE(!step.IsEnd() || i + 1 == m_steps.size());
            // Once the user has cancelled, nothing more goes out and nothing more is told.
            if (step.begin.cancelled) {
                STREAM_RULE(step.written.empty());
                STREAM_RULE(step.messages.empty());
            }
            for (int id : step.messages) {
                STREAM_RULE(IsLinkMessage(id) ||
                            std::find(allowed.begin(), allowed.end(), id) != allowed.end());
            }
        }
    }

    const std::vector<StepSeen>& Steps() const { return m_steps; }
    // What the procedure told after the port was closed.
    const std::vector<int>& AfterClose() const { return m_afterClose; }
    bool CancelledAtStart() const { return m_called.cancelled; }
    bool CancelledAtEnd() const { return m_closed.cancelled; }
    bool Ended() const { return !m_steps.empty() && m_steps.back().IsEnd(); }
    // The numbered steps: reads or writes.
    std::size_t Commands() const { return m_steps.size() - (Ended() ? 1 : 0); }
    // How many times the procedure told the user id.
    std::size_t Count(int id) const {
        std::size_t count = 0;
        for (const StepSeen& step : m_steps) {
            count += static_cast<std::size_t>(
                std::count(step.messages.begin(), step.messages.end(), id));
        }
        return count;
    }

    ProcedureRun Run(Outcome outcome) const {
        ProcedureRun run;
        run.outcome = outcome;
        run.steps = static_cast<int>(Commands());
        run.endSent = Ended() && m_steps.back().written == EndRequest();
        return run;
    }

    // The step went on the line as its request, whole, unless the user had cancelled before it
    // began; and it took no longer than its command may.
    void CheckStep(const StepSeen& step, const Bytes& request, std::int64_t longest) const {
        if (!step.begin.cancelled) {
            STREAM_RULE(step.written == request);
        }
        STREAM_RULE(step.Elapsed() <= longest);
    }
    void CheckEndStep() const {
        if (Ended()) {
            const StepSeen& end = m_steps.back();
            CheckStep(end, EndRequest(), LongestEnd(end.BytesRead(), m_line.ReadMs()));
        }
    }

private:
    Moment Now() {
        Moment m;
        m.atMs = m_line.Now();
        m.written = m_line.WrittenCount();
        m.messages = m_line.MessageCount();
        m.bytesRead = m_line.timed.Bytes();
        m.cancelled = m_line.Cancelled();
        return m;
    }

    void CheckAttached() {
        const CRadioLink& link = m_line.Link();
        STREAM_RULE(link.m_pPort != nullptr);
        STREAM_RULE(link.m_pReporter == &m_line.radio.reporter);
        STREAM_RULE(link.m_pClock == &m_line.radio.clock);
        STREAM_RULE(link.m_pCancel == m_line.Cancel());
    }

    void CloseStep() {
        if (m_steps.empty()) {
            return;
        }
        StepSeen& step = m_steps.back();
        step.end = Now();
        step.lastFrame = FrameSeen::Of(m_line.Link());
        step.written = m_line.WrittenSince(step.begin.written);
        step.messages = m_line.MessagesSince(step.begin.messages);
    }

    FuzzLine& m_line;
    const char* m_name;
    std::size_t m_opensBefore;
    Moment m_called;
    Moment m_closed;
    bool m_started = false;
    bool m_finished = false;
    std::vector<StepSeen> m_steps;
    std::vector<int> m_afterClose;
};

// The value a read reply carries after its leading byte, as the link hands it on.
Bytes ReadValue(const FrameSeen& frame) {
    const Bytes payload = frame.Payload();
    if (payload.empty()) {
        return {};
    }
    const std::size_t n = std::min<std::size_t>(payload.size(), CRadioLink::kValueSize) - 1;
    return Bytes(payload.begin() + 1, payload.begin() + 1 + static_cast<std::ptrdiff_t>(n));
}

bool IsReadReply(const FrameSeen& frame) {
    DecodedFrame decoded;
    return frame.Is(radio_protocol::kReadReply, &decoded) && decoded.payloadSize >= 1;
}

// What Radio Info showed in one field, held against the frames of its read.
void CheckInfoField(const StepSeen& step, const RadioInfoQuery& query,
                    const std::optional<std::string>& field, bool sequenceWentOn) {
    if (field) {
        // Either the value the radio sent, as the catalogue shows it, or "n/a" for a radio that
        // said it lacks the parameter.
        bool fromValue = false;
        if (IsReadReply(step.lastFrame)) {
            const Bytes value = ReadValue(step.lastFrame);
            std::string text(value.begin(), value.end());
            fromValue = *field == FormatParameter(query.id, text.c_str(),
                                                  static_cast<std::uint32_t>(text.size()));
        }
        const bool notSupported =
            *field == "n/a" && step.lastFrame.Is(radio_protocol::kNotSupported);
        STREAM_RULE(fromValue || notSupported);
        if (notSupported && !fromValue) {
            STREAM_RULE(step.Told(IDS_NOT_SUPPORTED) == !query.quiet);
        }
    } else if (sequenceWentOn) {
        // A field left empty: the radio refused, and the user has been told so.
        const int last = step.LastLinkMessage();
        STREAM_RULE(last == IDS_NAK_RECEIVED || last == IDS_UNEXPECTED_RESPONSE);
    }
}

void CheckRadioInfo(FuzzLine& line, StreamSummary& summary) {
    ProcedureWatch watch(line, "ReadRadioInfo");
    Session session = watch.MakeSession();
    const RadioInfoResult result = ReadRadioInfo(session);
    watch.Finish({});
    STREAM_RULE(watch.AfterClose().empty());
    const std::vector<StepSeen>& steps = watch.Steps();
    const std::size_t reads = watch.Commands();
    STREAM_RULE(reads >= 1 && reads <= kRadioInfoFieldCount);

    // The reads in the order of the queries, each whole on the line, then at most the end.
    for (std::size_t i = 0; i < reads; ++i) {
        const StepSeen& step = steps[i];
        const RadioInfoQuery& query = kRadioInfoQueries[i];
        STREAM_RULE(step.step.number == static_cast<int>(i + 1));
        STREAM_RULE(step.step.count == static_cast<int>(kRadioInfoFieldCount));
        STREAM_RULE(step.step.description == "Reading " + std::string(query.label));
        watch.CheckStep(step, RequestBytes(radio_protocol::kReadRequest, {query.id}),
                        LongestRead(step.BytesRead(), line.ReadMs()));
        CheckInfoField(step, query, result.fields[i], i + 1 < reads);
    }
    for (std::size_t i = reads; i < kRadioInfoFieldCount; ++i) {
        STREAM_RULE(!result.fields[i]);  // never asked for
    }
    watch.CheckEndStep();
    // The exchange is ended only after the last read.
    STREAM_RULE(!watch.Ended() || reads == kRadioInfoFieldCount);

    const StepSeen& lastRead = steps[reads - 1];
    switch (result.outcome) {
        case Outcome::Done: {
            STREAM_RULE(watch.Ended() && reads == kRadioInfoFieldCount);
            STREAM_RULE(!watch.CancelledAtEnd());
            STREAM_RULE(watch.Run(result.outcome).endSent);
            // Said when a field left empty was left so by an answer that makes no sense.
            bool unexpected = false;
            for (std::size_t i = 0; i < reads; ++i) {
                unexpected = unexpected || (!result.fields[i] &&
                                            steps[i].LastLinkMessage() == IDS_UNEXPECTED_RESPONSE);
            }
            STREAM_RULE(result.answeredUnexpectedly == unexpected);
            break;
        }
        case Outcome::Refused:
            // Refused only by the radio, the user told so, and the exchange not ended.
            STREAM_RULE(!watch.Ended());
            STREAM_RULE(IsRefusalMessage(lastRead.LastLinkMessage()));
            break;
        case Outcome::LinkFailed:
            STREAM_RULE(!watch.Ended());
            STREAM_RULE(IsLinkFailureMessage(lastRead.LastLinkMessage()));
            break;
        case Outcome::Cancelled:
            STREAM_RULE(watch.CancelledAtEnd());
            break;
        case Outcome::PortNotOpened:
            BrokenRule("the line was there, yet the port counts as not opened", __FILE__, __LINE__);
            break;
        case Outcome::RegistryFailed:
            BrokenRule("the registry took every write, yet it counts as failed", __FILE__,
                       __LINE__);
    }
    if (watch.CancelledAtStart()) {
        STREAM_RULE(result.outcome == Outcome::Cancelled);
    }
    summary.info = result;
    summary.infoRun = watch.Run(result.outcome);
}

// The test before a programming: one read of id, and Done only when goOn holds for the value the
// radio sent.
void CheckReadAndJudge(FuzzLine& line, const char* name, std::uint8_t id,
                       const std::function<ReadResult(Session&)>& procedure,
                       const std::function<bool(const Bytes&)>& goOn,
                       const std::vector<int>& judgements, ReadResult& resultOut,
                       ProcedureRun& runOut) {
    ProcedureWatch watch(line, name);
    Session session = watch.MakeSession();
    const ReadResult result = procedure(session);
    watch.Finish(judgements);
    STREAM_RULE(watch.AfterClose().empty());
    const std::vector<StepSeen>& steps = watch.Steps();
    STREAM_RULE(watch.Commands() == 1);
    const StepSeen& read = steps.front();
    STREAM_RULE(read.step.number == 1 && read.step.count == 1);
    watch.CheckStep(read, RequestBytes(radio_protocol::kReadRequest, {id}),
                    LongestRead(read.BytesRead(), line.ReadMs()));
    watch.CheckEndStep();

    // The value is what the radio sent, and only when it sent one.
    if (result.read) {
        STREAM_RULE(IsReadReply(read.lastFrame));
        const Bytes value = ReadValue(read.lastFrame);
        STREAM_RULE(result.value == std::string(value.begin(), value.end()));
    } else {
        STREAM_RULE(result.value.empty());
    }
    // At most one judgement, told after the link's messages and before the end of the exchange.
    std::size_t judged = 0;
    for (int judgement : judgements) {
        judged += watch.Count(judgement);
    }
    STREAM_RULE(judged <= 1);
    if (judged == 1) {
        STREAM_RULE(result.read);
        STREAM_RULE(!read.messages.empty());
        STREAM_RULE(std::find(judgements.begin(), judgements.end(), read.messages.back()) !=
                    judgements.end());
    }
    const bool valueAllows = result.read && goOn(Bytes(result.value.begin(), result.value.end()));

    switch (result.outcome) {
        case Outcome::Done:
            // Only a radio whose value lets the user go on, and only after a normal end.
            STREAM_RULE(valueAllows && judged == 0);
            STREAM_RULE(watch.Run(result.outcome).endSent);
            STREAM_RULE(!watch.CancelledAtEnd());
            break;
        case Outcome::Refused:
            if (result.read) {
                // The value does not allow it, the user is told why, the exchange is ended.
                STREAM_RULE(!valueAllows && judged == 1);
                STREAM_RULE(watch.Ended());
            } else {
                // The radio refused: after a NAK or an unexpected answer it is still listening
                // and the exchange is ended; one that lacks the parameter is not asked again.
                const int last = read.LastLinkMessage();
                STREAM_RULE(IsRefusalMessage(last));
                STREAM_RULE(watch.Ended() == (last != IDS_NOT_SUPPORTED));
            }
            break;
        case Outcome::LinkFailed: {
            STREAM_RULE(!result.read);
            const int last = read.LastLinkMessage();
            STREAM_RULE(IsLinkFailureMessage(last));
            // A radio that answered, if unexpectedly, is still listening: the exchange is ended.
            STREAM_RULE(watch.Ended() == (last == IDS_UNEXPECTED_RESPONSE));
            break;
        }
        case Outcome::Cancelled:
            STREAM_RULE(watch.CancelledAtEnd());
            // A value that came in after the cancel is not judged; a cancel during the end of
            // the exchange comes after the judgement.
            if (read.end.cancelled) {
                STREAM_RULE(judged == 0);
            }
            break;
        case Outcome::PortNotOpened:
            BrokenRule("the line was there, yet the port counts as not opened", __FILE__, __LINE__);
            break;
        case Outcome::RegistryFailed:
            BrokenRule("the registry took every write, yet it counts as failed", __FILE__,
                       __LINE__);
    }
    // A value read and not cancelled decides the outcome by itself.
    if (result.read && !watch.CancelledAtEnd()) {
        STREAM_RULE(result.outcome == (valueAllows ? Outcome::Done : Outcome::Refused));
    }
    if (watch.CancelledAtStart()) {
        STREAM_RULE(result.outcome == Outcome::Cancelled && !result.read);
    }
    resultOut = result;
    runOut = watch.Run(result.outcome);
}

// A programming: one write of payload, the outcome told while the port is still open, then the
// end of the exchange after a failure as well.
void CheckWriteAndReport(FuzzLine& line, const char* name,
                         const std::function<WriteResult(Session&)>& procedure,
                         const Bytes& payload, const WriteMessages& ids, ProcedureRun& runOut,
                         int unconfirmedId = 0) {
    const int successId = ids.success;
    const int failureId = ids.failure;
    ProcedureWatch watch(line, name);
    Session session = watch.MakeSession();
    const WriteResult result = procedure(session);
    watch.Finish({successId, failureId});
    // A cancel after the request went out leaves the user not knowing whether the radio took the
    // value: that is said once the port is closed, and nothing else is said then.
    // A write the registry keeps as unconfirmed is said after that.
    std::vector<int> afterClose;
    if (result.outcome == Outcome::Cancelled && result.requestSent) {
        afterClose.push_back(ids.cancelled);
    }
    if (unconfirmedId != 0 && SettlementOf(result) == Settlement::Unconfirmed) {
        afterClose.push_back(unconfirmedId);
    }
    STREAM_RULE(watch.AfterClose() == afterClose);
    const std::vector<StepSeen>& steps = watch.Steps();
    STREAM_RULE(watch.Commands() == 1);
    const StepSeen& write = steps.front();
    STREAM_RULE(write.step.number == 1 && write.step.count == 1);
    watch.CheckStep(
        write, RequestBytes(radio_protocol::kWriteRequest, payload),
        LongestWrite(static_cast<std::uint32_t>(payload.size()), write.BytesRead(), line.ReadMs()));
    watch.CheckEndStep();
    // The request went out exactly when the procedure says so.
    STREAM_RULE(result.requestSent == !write.written.empty());

    const std::size_t successes = watch.Count(successId);
    const std::size_t failures = watch.Count(failureId);
    if (result.outcome == Outcome::Cancelled) {
        // Nobody saw the radio confirm or refuse: no report, and the exchange is not ended.
        STREAM_RULE(watch.CancelledAtEnd());
        STREAM_RULE(successes == 0 && failures == 0);
        STREAM_RULE(!watch.Ended());
    } else {
        // Exactly one report, after the write's own messages and before the end of the exchange,
        // which follows a failed write too.
        STREAM_RULE(successes + failures == 1);
        STREAM_RULE(!write.messages.empty());
        STREAM_RULE(write.messages.back() == (successes == 1 ? successId : failureId));
        STREAM_RULE(watch.Ended());
        STREAM_RULE(result.requestSent);
        STREAM_RULE((successes == 1) == (result.outcome == Outcome::Done));
    }
    const int last = write.LastLinkMessage();
    switch (result.outcome) {
        case Outcome::Done: {
            // Only when the radio confirmed with the one byte 0.
            STREAM_RULE(write.lastFrame.Is(radio_protocol::kWriteReply));
            STREAM_RULE(write.lastFrame.Payload() == Bytes{0});
            break;
        }
        case Outcome::Refused:
            STREAM_RULE(IsRefusalMessage(last) || write.lastFrame.Is(radio_protocol::kWriteReply));
            break;
        case Outcome::LinkFailed:
            STREAM_RULE(IsLinkFailureMessage(last));
            break;
        case Outcome::Cancelled:
            break;
        case Outcome::PortNotOpened:
            BrokenRule("the line was there, yet the port counts as not opened", __FILE__, __LINE__);
            break;
        case Outcome::RegistryFailed:
            BrokenRule("the registry took every write, yet it counts as failed", __FILE__,
                       __LINE__);
    }
    if (watch.CancelledAtStart()) {
        STREAM_RULE(result.outcome == Outcome::Cancelled && !result.requestSent);
    }
    runOut = watch.Run(result.outcome);
}

bool IsBlankEsnValue(const Bytes& value) {
    return value.size() == 5 &&
           std::all_of(value.begin(), value.end(), [](std::uint8_t b) { return b == 0; });
}

bool HasNoRegionalId(const Bytes& value) {
    return value.size() == 1 && value[0] == 0xFF;
}

}  // namespace

void CheckProcedures(const RadioStream& stream, StreamSummary& summary) {
    FuzzLine line(stream);
    CheckRadioInfo(line, summary);

    const EsnFields esn{130, 5, 123456};
    const auto esnPayload = EsnWriteForm(esn);
    CheckReadAndJudge(line, "CheckEsnBlank", PARAM_ESN, CheckEsnBlank, IsBlankEsnValue,
                      {IDS_ESN_FORMAT_UNSUPPORTED, IDS_ESN_ALREADY_PROGRAMMED}, summary.esnCheck,
                      summary.esnCheckRun);
    // The write runs whatever the test said: the dialog would not offer it then, but the write's
    // own rules must hold on any line.
    test::MemoryRegistry registry;
    std::optional<Settlement> settled;
    CheckWriteAndReport(
        line, "ProgramEsn",
        [&](Session& session) {
            session.registry = &registry;
            const EsnWriteResult result = ProgramEsn(session, esn);
            settled = result.settlement;
            return result;
        },
        Bytes(esnPayload.begin(), esnPayload.end()),
        {IDS_ESN_PROGRAMMED, IDS_ESN_PROGRAM_FAILED, IDS_ESN_WRITE_CANCELLED}, summary.esnWrite,
        IDS_ESN_UNCONFIRMED);
    // Reserved before, settled after, as the exchange ended: a confirmed or unconfirmed ESN
    // stays taken, a freed one is free again.
    SetRuleContext("ProgramEsn's registry");
    STREAM_RULE(registry.calls.size() == 2 && registry.calls.front() == "reserve 130/05/123456");
    const auto kept = registry.entries.find(FormatEsn(esn));
    STREAM_RULE(settled.has_value());
    if (settled) {
        STREAM_RULE((kept == registry.entries.end()) == (*settled == Settlement::Freed));
        if (kept != registry.entries.end()) {
            STREAM_RULE(
                kept->second.state ==
                (*settled == Settlement::Confirmed ? EsnState::Confirmed : EsnState::Unconfirmed));
        }
    }

    constexpr std::uint8_t kNorthAmerica = 1;
    const auto regionPayload = RegionalIdWriteForm(kNorthAmerica);
    CheckReadAndJudge(
        line, "CheckNoRegionalId", PARAM_REGIONAL_ID, CheckNoRegionalId, HasNoRegionalId,
        {IDS_REGION_FORMAT_UNSUPPORTED, IDS_REGION_ALREADY_PROGRAMMED, IDS_REGION_INVALID},
        summary.regionCheck, summary.regionCheckRun);
    CheckWriteAndReport(
        line, "ProgramRegionalId",
        [](Session& session) { return ProgramRegionalId(session, kNorthAmerica); },
        Bytes(regionPayload.begin(), regionPayload.end()),
        {IDS_REGION_PROGRAMMED, IDS_REGION_PROGRAM_FAILED, IDS_REGION_WRITE_CANCELLED},
        summary.regionWrite);

    SetRuleContext("the end of the procedures");
    STREAM_RULE(line.radio.log.opened.size() == 5);
    STREAM_RULE(line.radio.log.closed == 5 && line.radio.log.live == 0);
}

}  // namespace varnel::fuzz
