#include "usecases/ProductionStation.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "procedures/EsnProgramming.h"
#include "procedures/EsnReadBack.h"
#include "registry/RegistryRules.h"
#include "strings/Csv.h"
#include "strings/StringTable.h"
#include "usecases/EsnEntry.h"

namespace varnel {
namespace {

// Keeps what a radio's procedures would have shown in boxes: the errors become the radio's
// reason, one message per line, each with its detail under it.
class ReasonCollector final : public IMessageReporter {
public:
    void Show(const Message& message) override {
        if (message.kind != MSG_ERROR) {
            return;  // the success box: the verdict says it
        }
        Add(message.text);
        if (!message.detail.empty()) {
            Add(message.detail);
        }
    }
    void Add(std::string_view text) {
        if (!m_reason.empty()) {
            m_reason += '\n';
        }
        m_reason += text;
    }
    const std::string& Reason() const { return m_reason; }

private:
    std::string m_reason;
};

bool Cancelled(const Session& session) {
    return session.cancel != nullptr && session.cancel->IsCancelled();
}

constexpr std::string_view kCancelledBeforeWrite = "Cancelled: no ESN was written.";

}  // namespace

std::string_view StationVerdictWord(StationVerdict verdict) {
    switch (verdict) {
        case StationVerdict::Pass:
            return "PASS";
        case StationVerdict::Unconfirmed:
            return "UNCONFIRMED";
        case StationVerdict::Fail:
            break;
    }
    return "FAIL";
}

StationRadio StationRadioOf(const EsnEntry& entry) {
    StationRadio radio;
    radio.time = entry.reservedAt;
    radio.serialNumber = entry.origin.radioSerial;
    radio.esn = entry.esn;
    switch (entry.state) {
        case EsnState::Confirmed:
            radio.verdict = StationVerdict::Pass;
            break;
        case EsnState::Sending:
        case EsnState::Unconfirmed:
            radio.verdict = StationVerdict::Unconfirmed;
            radio.reason = FormatString(IDS_ESN_UNCONFIRMED, {entry.esn});
            break;
        case EsnState::Released:
            radio.verdict = StationVerdict::Fail;
            radio.reason = "Released: " + entry.reason;
            break;
    }
    return radio;
}

CProductionStation::CProductionStation(TimeSource now) : m_now(std::move(now)) {
    if (!m_now) {
        m_now = RegistryTimestampNow;
    }
}

StationRadio CProductionStation::Program(Session& session, const StationSource& source,
                                         const std::string& typedEsn) {
    StationRadio radio =
        RunProcedure(session, [&](Session& worker) { return Run(worker, source, typedEsn); });
    m_shift.insert(m_shift.begin(), radio);
    return radio;
}

StationRadio CProductionStation::Run(Session& session, const StationSource& source,
                                     const std::string& typedEsn) {
    ReasonCollector collector;
    Session quiet(session.link, collector, session.clock, session.openPort, session.portName);
    quiet.observer = session.observer;
    quiet.cancel = session.cancel;
    quiet.trace = session.trace;
    quiet.registry = session.registry;
    quiet.origin = session.origin;

    StationRadio radio;
    radio.time = m_now();
    auto failed = [&](StationVerdict verdict = StationVerdict::Fail) {
        radio.verdict = verdict;
        radio.reason = collector.Reason();
        return radio;
    };

    std::optional<EsnFields> typed;
    if (source.Typed()) {
        const TypedEsn entry = EsnFromText(typedEsn, EsnEntryRule::CommandLine);
        if (!entry.esn) {
            collector.Add(LoadString(entry.message));
            return failed();
        }
        typed = entry.esn;
    }

    const BlankTestResult blank = CheckEsnBlankWithSerial(quiet);
    radio.serialNumber = blank.serialNumber;
    if (blank.outcome != Outcome::Done || Cancelled(quiet)) {
        if (collector.Reason().empty()) {
            collector.Add(kCancelledBeforeWrite);
        }
        return failed();
    }

    // The record names the radio that got the ESN.
    quiet.origin.radioSerial = radio.serialNumber;
    const EsnWriteResult write =
        typed ? ProgramEsn(quiet, *typed, EsnConfirmation::AfterReadBack)
              : ProgramNextEsn(quiet, source.pool, EsnConfirmation::AfterReadBack);
    if (write.reserve != ReserveStatus::Reserved) {
        return failed();  // nothing was sent; the registry's answer is the reason
    }
    radio.esn = write.entry.esn;
    if (write.outcome != Outcome::Done) {
        if (collector.Reason().empty()) {
            collector.Add(kCancelledBeforeWrite);
        }
        // Held unless the reservation was given back: a settlement that could not be recorded
        // leaves it Sending, which holds it as well.
        const bool freed = write.settled && write.settlement == Settlement::Freed;
        if (freed) {
            radio.esn.clear();
        }
        return failed(freed ? StationVerdict::Fail : StationVerdict::Unconfirmed);
    }

    // Acknowledged: still Sending until the radio gives the same ESN back.
    const EsnReadBackResult back = Cancelled(quiet) ? EsnReadBackResult{Outcome::Cancelled, {}}
                                                    : ReadEsnBack(quiet, *write.esn);
    const bool verified = back.outcome == Outcome::Done && back.verified.value_or(false);
    const Settlement settlement = verified ? Settlement::Confirmed : Settlement::Unconfirmed;
    if (const auto error = session.registry->Settle(radio.esn, settlement)) {
        ShowText(collector, MSG_ERROR, IDS_REGISTRY_SETTLE_FAILED,
                 FormatString(IDS_REGISTRY_SETTLE_FAILED, {radio.esn}), error->message);
        return failed(StationVerdict::Unconfirmed);
    }
    if (!verified) {
        collector.Add(FormatString(IDS_ESN_UNCONFIRMED, {radio.esn}));
        return failed(StationVerdict::Unconfirmed);
    }
    radio.verdict = StationVerdict::Pass;
    return radio;
}

bool CProductionStation::LoadShift(IEsnRegistry& registry, const std::string& station,
                                   RegistryError& error) {
    ListFilter filter;
    filter.station = station;
    filter.limit = static_cast<std::int64_t>(kShiftLength);
    error = {};
    const std::vector<EsnEntry> entries = registry.List(filter, error);
    if (!error.message.empty()) {
        return false;
    }
    m_shift.clear();
    for (const EsnEntry& entry : entries) {
        m_shift.push_back(StationRadioOf(entry));
    }
    return true;
}

StationCounts CProductionStation::Counts() const {
    StationCounts counts;
    for (const StationRadio& radio : m_shift) {
        switch (radio.verdict) {
            case StationVerdict::Pass:
                ++counts.passed;
                break;
            case StationVerdict::Fail:
                ++counts.failed;
                break;
            case StationVerdict::Unconfirmed:
                ++counts.unconfirmed;
                break;
        }
    }
    return counts;
}

std::string CProductionStation::ShiftCsv() const {
    std::string csv = "time,serial_number,esn,result,reason\n";
    for (auto it = m_shift.rbegin(); it != m_shift.rend(); ++it) {
        // One line per radio, so that the file can be read line by line: the reason's lines
        // are joined with a space.
        std::string reason = it->reason;
        std::replace(reason.begin(), reason.end(), '\n', ' ');
        csv += CsvField(it->time) + ',' + CsvField(it->serialNumber) + ',' + CsvField(it->esn) +
               ',' + std::string(StationVerdictWord(it->verdict)) + ',' + CsvField(reason) + '\n';
    }
    return csv;
}

}  // namespace varnel
