#include "procedures/EsnProgramming.h"

#include <array>
#include <cstdint>
#include <functional>

#include "procedures/Exchange.h"
#include "radio/Catalogue.h"
#include "strings/StringTable.h"

namespace varnel {
namespace {

const WriteMessages kEsnWriteMessages = {IDS_ESN_PROGRAMMED, IDS_ESN_PROGRAM_FAILED,
                                         IDS_ESN_WRITE_CANCELLED};

int JudgeBlankEsn(const std::string& value) {
    if (value.size() != kEsnReadFormSize) {
        return IDS_ESN_FORMAT_UNSUPPORTED;
    }
    return IsBlankEsn(reinterpret_cast<const std::uint8_t*>(value.data()), value.size())
               ? 0
               : IDS_ESN_ALREADY_PROGRAMMED;
}

void TellRegistryFailed(Session& session, const std::string& why) {
    ShowText(session.reporter, MSG_ERROR, IDS_REGISTRY_FAILED, LoadString(IDS_REGISTRY_FAILED),
             why);
}

// Reserve, write, settle: the one road of every ESN write. pool names the pool asked for, for
// the message of one used up.
EsnWriteResult ReserveAndWrite(Session& session,
                               const std::function<ReserveResult(const WriteOrigin&)>& reserve,
                               const std::string& pool, EsnConfirmation confirmation) {
    EsnWriteResult result;
    if (session.registry == nullptr) {
        result.registryError = "No ESN registry is open.";
        result.outcome = Outcome::RegistryFailed;
        TellRegistryFailed(session, result.registryError);
        return result;
    }
    WriteOrigin origin = session.origin;
    if (origin.port.empty()) {
        origin.port = session.portName;
    }
    const ReserveResult reserved = reserve(origin);
    result.reserve = reserved.status;
    result.entry = reserved.entry;
    switch (reserved.status) {
        case ReserveStatus::Reserved:
            break;
        case ReserveStatus::Held:
            ShowText(session.reporter, MSG_ERROR, IDS_ESN_HELD,
                     FormatString(IDS_ESN_HELD,
                                  {reserved.entry.esn, EsnStateWord(reserved.entry.state),
                                   reserved.entry.reservedAt, reserved.entry.origin.station}));
            result.outcome = Outcome::Refused;
            return result;
        case ReserveStatus::Exhausted:
            ShowText(session.reporter, MSG_ERROR, IDS_ESN_POOL_EXHAUSTED,
                     FormatString(IDS_ESN_POOL_EXHAUSTED, {pool}));
            result.outcome = Outcome::Refused;
            return result;
        case ReserveStatus::Failed:
            result.registryError = reserved.error.message;
            result.outcome = Outcome::RegistryFailed;
            TellRegistryFailed(session, result.registryError);
            return result;
    }
    result.esn = ParseCanonicalEsn(reserved.entry.esn);
    if (!result.esn) {
        // A registry that hands out what is no ESN cannot be trusted with this write; what it
        // reserved is given back, since nothing was sent.
        result.registryError = "The ESN registry gave " + reserved.entry.esn + ", which is no ESN.";
        result.outcome = Outcome::RegistryFailed;
        result.settlement = Settlement::Freed;
        result.settled = !session.registry->Settle(reserved.entry.esn, Settlement::Freed);
        TellRegistryFailed(session, result.registryError);
        return result;
    }
    const auto payload = EsnWriteForm(*result.esn);
    static_cast<WriteResult&>(result) =
        WriteAndReport(session, payload.data(), static_cast<std::uint32_t>(payload.size()),
                       "Writing ESN", kEsnWriteMessages);
    if (result.outcome == Outcome::Done && confirmation == EsnConfirmation::AfterReadBack) {
        return result;  // still Sending: the caller confirms once the radio has read it back
    }
    result.settlement = SettlementOf(result);
    const auto error = session.registry->Settle(reserved.entry.esn, *result.settlement);
    result.settled = !error;
    if (error) {
        result.registryError = error->message;
        ShowText(session.reporter, MSG_ERROR, IDS_REGISTRY_SETTLE_FAILED,
                 FormatString(IDS_REGISTRY_SETTLE_FAILED, {reserved.entry.esn}), error->message);
    } else if (*result.settlement == Settlement::Unconfirmed) {
        ShowText(session.reporter, MSG_ERROR, IDS_ESN_UNCONFIRMED,
                 FormatString(IDS_ESN_UNCONFIRMED, {reserved.entry.esn}));
    }
    return result;
}

}  // namespace

ReadResult CheckEsnBlank(Session& session) {
    return ReadAndJudge(session, PARAM_ESN, "Reading ESN", JudgeBlankEsn);
}

BlankTestResult CheckEsnBlankWithSerial(Session& session) {
    BlankTestResult result;
    Exchange exchange(session);
    if (!exchange.Open()) {
        return result;
    }
    char value[CRadioLink::kValueSize] = {};
    std::uint32_t length = 0;
    exchange.Step({"Reading Serial Number", 1, 2});
    if (exchange.Link().ReadParameter(value, PARAM_SERIAL_NUMBER, length, false)) {
        result.serialNumber = FormatParameter(PARAM_SERIAL_NUMBER, value, length);
    } else {
        const RadioStatus status = exchange.TakeStatus();
        if (status != RadioStatus::Ok) {
            exchange.Abort();
            result.outcome = exchange.FailureOutcome(status);
            return result;
        }
        if (exchange.AnsweredUnexpectedly()) {
            exchange.End();
            result.outcome = Outcome::LinkFailed;
            return result;
        }
        // A refusal: the radio is tested all the same, and its record names no serial number.
    }
    if (exchange.CancelRequested()) {
        exchange.Abort();
        result.outcome = Outcome::Cancelled;
        return result;
    }
    FinishWithJudgedRead(exchange, PARAM_ESN, {"Reading ESN", 2, 2}, JudgeBlankEsn, result);
    return result;
}

Settlement SettlementOf(const WriteResult& write) {
    if (write.outcome == Outcome::Done) {
        return Settlement::Confirmed;
    }
    if (!write.requestSent) {
        return Settlement::Freed;
    }
    // Only the radio's own answer that it did not take the value frees the ESN; a NAK is not
    // told apart from an answer that makes no sense, so it keeps the ESN as a lost reply does.
    if (write.outcome == Outcome::Refused &&
        (write.status == RadioStatus::WriteRejected || write.status == RadioStatus::NotSupported)) {
        return Settlement::Freed;
    }
    return Settlement::Unconfirmed;
}

EsnWriteResult ProgramEsn(Session& session, const EsnFields& esn, EsnConfirmation confirmation) {
    return ReserveAndWrite(
        session, [&](const WriteOrigin& origin) { return session.registry->Reserve(esn, origin); },
        {}, confirmation);
}

EsnWriteResult ProgramNextEsn(Session& session, const std::string& pool,
                              EsnConfirmation confirmation) {
    return ReserveAndWrite(
        session,
        [&](const WriteOrigin& origin) { return session.registry->ReserveNext(pool, origin); },
        pool, confirmation);
}

std::optional<EsnFields> ParseCanonicalEsn(const std::string& text) {
    const std::size_t first = text.find('/');
    const std::size_t second = first == std::string::npos ? first : text.find('/', first + 1);
    if (second == std::string::npos || text.find('/', second + 1) != std::string::npos) {
        return std::nullopt;
    }
    const std::array<std::string, 3> parts = {
        text.substr(0, first), text.substr(first + 1, second - first - 1), text.substr(second + 1)};
    std::array<std::int32_t, 3> values = {};
    const std::array<std::int32_t, 3> mins = {0, 0, kEsnField3Min};
    const std::array<std::int32_t, 3> maxs = {kEsnField1Max, kEsnField2Max, kEsnField3Max};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].empty() || parts[i].size() > 6 ||
            !ParseDecimalField(parts[i], values[i], mins[i], maxs[i])) {
            return std::nullopt;
        }
    }
    EsnFields esn;
    esn.field1 = values[0];
    esn.field2 = values[1];
    esn.field3 = values[2];
    return esn;
}

}  // namespace varnel
