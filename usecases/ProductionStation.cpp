#include "usecases/ProductionStation.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "procedures/EsnProgramming.h"
#include "procedures/EsnReadBack.h"
#include "procedures/WriteOrigin.h"
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

StationSetup LoadStationSetup(SettingsStore& settings) {
    StationSetup setup;
    setup.source.pool = settings.ReadText(kStationGroup, kStationPoolKey).value_or("");
    setup.station = settings.ReadText(kStationGroup, kStationNameKey).value_or("");
    if (setup.station.find_first_not_of(" \t") == std::string::npos) {
        setup.station = LocalWriteOrigin().station;
    }
    return setup;
}

std::string SaveStationSetup(SettingsStore& settings, const StationSetup& setup) {
    return settings.Write({{kStationGroup, kStationPoolKey, setup.source.pool},
                           {kStationGroup, kStationNameKey, setup.station}});
}

std::vector<StationSourceChoice> StationSourceChoices(const std::vector<EsnPool>& pools) {
    std::vector<StationSourceChoice> choices;
    choices.push_back({StationSource{}, std::string(kTypedEsnChoice)});
    for (const EsnPool& pool : pools) {
        choices.push_back({StationSource{pool.name}, pool.name + ": " + FormatEsn(pool.first) +
                                                         " to " + FormatEsn(pool.last) + ", " +
                                                         std::to_string(pool.freeCount) + " free"});
    }
    return choices;
}

StationBanner BannerOf(const StationRadio& radio) {
    StationBanner banner;
    banner.passed = radio.verdict == StationVerdict::Pass;
    banner.bells = banner.passed ? 1 : 3;
    banner.word = banner.passed ? "PASS" : "FAIL";
    if (banner.passed) {
        banner.background = {0x1E, 0x7B, 0x34};
    }
    std::string identity;
    if (!radio.esn.empty()) {
        identity = "ESN " + radio.esn;
    }
    if (!radio.serialNumber.empty()) {
        identity +=
            (identity.empty() ? "" : "   ") + std::string("Serial Number ") + radio.serialNumber;
    }
    if (radio.verdict == StationVerdict::Unconfirmed) {
        banner.detail = "Unconfirmed: the ESN stays held.\n";
    }
    banner.detail += identity;
    if (!radio.reason.empty()) {
        banner.detail += (identity.empty() ? "" : "\n") + radio.reason;
    }
    return banner;
}

std::string SpokenResult(const StationRadio& radio) {
    const StationBanner banner = BannerOf(radio);
    std::string spoken = banner.word;
    if (radio.verdict == StationVerdict::Unconfirmed) {
        spoken += ", unconfirmed";
    }
    if (!radio.esn.empty()) {
        spoken += ", ESN " + radio.esn;
    }
    if (!radio.serialNumber.empty()) {
        spoken += ", Serial Number " + radio.serialNumber;
    }
    if (!radio.reason.empty()) {
        // The first line says why; the rest is for reading.
        spoken += ": " + radio.reason.substr(0, radio.reason.find('\n'));
    }
    return spoken;
}

std::string CountsText(const StationCounts& counts) {
    return "Passed: " + std::to_string(counts.passed) +
           "   Failed: " + std::to_string(counts.failed) +
           "   Unconfirmed: " + std::to_string(counts.unconfirmed);
}

std::array<std::string, 4> ShiftRow(const StationRadio& radio) {
    // "2026-12-10T10:12:51.123Z" as "2026-12-10 10:12:51Z": to the second is enough to find it.
    std::string time = radio.time;
    if (time.size() == 24 && time[10] == 'T' && time[19] == '.') {
        time = time.substr(0, 10) + ' ' + time.substr(11, 8) + 'Z';
    }
    std::string result(StationVerdictWord(radio.verdict));
    return {time, radio.serialNumber, radio.esn, result};
}

namespace {

// The path as the system names files: UTF-8 here, UTF-16 for Windows' own calls, so that a
// folder outside ASCII is the folder chosen and not another.
std::filesystem::path FilePath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::FILE* OpenForWriting(const std::filesystem::path& path) {
#ifdef _WIN32
    return ::_wfopen(path.c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wb");
#endif
}

}  // namespace

std::string SaveShiftCsv(const CProductionStation& station, const std::string& path) {
    const std::string csv = station.ShiftCsv();
    const std::filesystem::path file = FilePath(path);
    std::FILE* stream = OpenForWriting(file);
    if (stream == nullptr) {
        return path + ": " + std::strerror(errno);
    }
    const bool written = std::fwrite(csv.data(), 1, csv.size(), stream) == csv.size();
    const int writeError = errno;
    const bool flushed = written && std::fflush(stream) == 0;
    const int flushError = errno;
    const bool closed = std::fclose(stream) == 0;
    const int closeError = errno;
    if (written && flushed && closed) {
        return {};
    }
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    const int error = !written ? writeError : !flushed ? flushError : closeError;
    return path + ": " + std::strerror(error != 0 ? error : EIO);
}

std::string TrimmedStationText(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(kBlanks) - first + 1));
}

StationSetup StationSetupOf(const StationSource& source, std::string_view typedStation) {
    StationSetup setup;
    setup.source = source;
    setup.station = TrimmedStationText(typedStation);
    if (setup.station.empty()) {
        setup.station = LocalWriteOrigin().station;
    }
    return setup;
}

void AimStationSession(Session& session, int portIndex, const std::string& station) {
    session.portName = PortNameFromIndex(portIndex);
    session.origin.port = session.portName;
    session.origin.station = station;
}

bool StationOffersPort(const PortEntry& port, int chosenIndex) {
    return port.presence != PortPresence::Missing || port.index == chosenIndex;
}

std::string StationWindowName(std::string_view caption, const StationRadio& radio) {
    return std::string(caption) + ": " + SpokenResult(radio);
}

std::string ExportShift(const CProductionStation& station, const std::string& path,
                        IMessageReporter& reporter) {
    if (path.empty()) {
        return {};
    }
    if (const std::string why = SaveShiftCsv(station, path); !why.empty()) {
        ShowText(reporter, MSG_ERROR, 0, std::string(kShiftNotExported), why);
        return {};
    }
    return "The shift was exported to " + path + ".";
}

CProductionLine::CProductionLine(Session session, SettingsStore& settings)
    : m_session(std::move(session)), m_settings(settings) {}

StationSetup CProductionLine::Open() {
    m_problem.clear();
    const StationSetup setup = LoadStationSetup(m_settings);
    ReadSources();
    ReadShift(setup.station);
    return setup;
}

int CProductionLine::SourceIndex(const std::string& pool) const {
    for (std::size_t i = 0; i < m_sources.size(); ++i) {
        if (!pool.empty() && m_sources[i].source.pool == pool) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

StationSource CProductionLine::SourceAt(int index) const {
    if (index >= 0 && static_cast<std::size_t>(index) < m_sources.size()) {
        return m_sources[static_cast<std::size_t>(index)].source;
    }
    return {};
}

StationRadio CProductionLine::Program(const StationSetup& setup, int portIndex,
                                      std::string_view typedEsn) {
    m_problem.clear();
    if (const std::string why = SaveStationSetup(m_settings, setup); !why.empty()) {
        AddProblem(kStationSetupUnsaved, why);
    }
    if (setup.station != m_shiftStation) {
        ReadShift(setup.station);
    }
    AimStationSession(m_session, portIndex, setup.station);
    const StationRadio radio =
        m_station.Program(m_session, setup.source, TrimmedStationText(typedEsn));
    ReadSources();
    return radio;
}

std::string CProductionLine::Export(const std::string& path) {
    return ExportShift(m_station, path, m_session.reporter);
}

std::string CProductionLine::Prompt() const {
    return m_problem.empty() ? std::string(kStationPrompt) : m_problem;
}

void CProductionLine::ReadSources() {
    RegistryError error;
    std::vector<EsnPool> pools;
    if (m_session.registry != nullptr) {
        pools = m_session.registry->Pools(error);
    }
    m_sources = StationSourceChoices(pools);
    if (!error.message.empty()) {
        AddProblem(kStationPoolsUnread, error.message);
    }
}

void CProductionLine::ReadShift(const std::string& station) {
    m_shiftStation = station;
    RegistryError error;
    if (m_session.registry != nullptr &&
        !m_station.LoadShift(*m_session.registry, station, error)) {
        AddProblem(kStationShiftUnread, error.message);
    }
}

void CProductionLine::AddProblem(std::string_view what, const std::string& why) {
    if (!m_problem.empty()) {
        m_problem += '\n';
    }
    m_problem += std::string(what) + why;
}

StationKeyAction StationKeyActionOf(StationKey key, bool autoRepeat, bool modified,
                                    StationKeyFocus focus) {
    if (key == StationKey::Other) {
        return StationKeyAction::Pass;
    }
    if (autoRepeat) {
        return StationKeyAction::Swallow;
    }
    if (modified || focus == StationKeyFocus::OtherButton ||
        (key == StationKey::Space && focus == StationKeyFocus::TextField)) {
        return StationKeyAction::Pass;
    }
    return StationKeyAction::Run;
}

}  // namespace varnel
