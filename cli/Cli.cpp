#include "cli/Cli.h"

#include <csignal>
#include <fstream>
#include <optional>
#include <utility>

#include "cli/Arguments.h"
#include "cli/Json.h"
#include "cli/Output.h"
#include "cli/RecordFile.h"
#include "cli/RegistryOutput.h"
#include "procedures/EsnProgramming.h"
#include "procedures/EsnReadBack.h"
#include "procedures/Programming.h"
#include "procedures/RadioInfo.h"
#include "procedures/RegionProgramming.h"
#include "radio/Regions.h"
#include "settings/SettingsStore.h"
#include "strings/StringTable.h"
#include "usecases/EsnEntry.h"
#include "usecases/RegistryLocation.h"

#ifndef VARNEL_VERSION
#define VARNEL_VERSION "unknown"
#endif

namespace varnel::cli {
namespace {

// How a run ended, beyond the procedures' outcomes: the command line itself was wrong.
enum class RunOutcome {
    Done,
    Refused,
    LinkFailed,
    PortNotOpened,
    Cancelled,
    RegistryFailed,
    Usage
};

RunOutcome FromOutcome(Outcome outcome) {
    switch (outcome) {
        case Outcome::Done:
            return RunOutcome::Done;
        case Outcome::Refused:
            return RunOutcome::Refused;
        case Outcome::LinkFailed:
            return RunOutcome::LinkFailed;
        case Outcome::PortNotOpened:
            return RunOutcome::PortNotOpened;
        case Outcome::RegistryFailed:
            return RunOutcome::RegistryFailed;
        case Outcome::Cancelled:
            break;
    }
    return RunOutcome::Cancelled;
}

std::string_view OutcomeWord(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::Done:
            return "ok";
        case RunOutcome::Refused:
            return "refused";
        case RunOutcome::LinkFailed:
            return "link-failed";
        case RunOutcome::PortNotOpened:
            return "port-not-opened";
        case RunOutcome::Cancelled:
            return "cancelled";
        case RunOutcome::RegistryFailed:
            return "registry-failed";
        case RunOutcome::Usage:
            break;
    }
    return "usage";
}

int ExitStatus(RunOutcome outcome, int signal) {
    switch (outcome) {
        case RunOutcome::Done:
            return kExitDone;
        case RunOutcome::Refused:
            return kExitRefused;
        case RunOutcome::LinkFailed:
            return kExitLinkFailed;
        case RunOutcome::PortNotOpened:
            return kExitPortNotOpened;
        case RunOutcome::Cancelled:
            return kExitSignalBase + (signal != 0 ? signal : SIGINT);
        case RunOutcome::RegistryFailed:
            return kExitRegistryFailed;
        case RunOutcome::Usage:
            break;
    }
    return kExitUsage;
}

std::string SignalName(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
#ifdef SIGHUP
        case SIGHUP:
            return "SIGHUP";
        case SIGQUIT:
            return "SIGQUIT";
#endif
        default:
            return "signal " + std::to_string(signal);
    }
}

// What one run did, for standard output, --json and --record.
struct Run {
    std::string command;
    std::optional<std::string> port;
    std::optional<std::string> device;
    RunOutcome outcome = RunOutcome::Done;
    std::vector<std::string> lines;  // standard output when the command succeeded
    // The command's results, in the order they are given.
    Json results = Json::object();

    void Result(const std::string& key, Json value) { results[key] = std::move(value); }
};

void AddCommon(Json& object, const Run& run, int exitStatus, const CliReporter& reporter) {
    object["command"] = JsonText(run.command);
    object["port"] = run.port ? JsonText(*run.port) : Json(nullptr);
    object["device"] = run.device ? JsonText(*run.device) : Json(nullptr);
    object["outcome"] = std::string(OutcomeWord(run.outcome));
    object["exit"] = exitStatus;
    object["messages"] = JsonTexts(reporter.Texts());
    if (!reporter.Detail().empty()) {
        object["detail"] = JsonText(reporter.Detail());
    }
}

std::string OutputJson(const Run& run, int exitStatus, const CliReporter& reporter) {
    Json object = Json::object();
    AddCommon(object, run, exitStatus, reporter);
    for (const auto& [key, value] : run.results.items()) {
        object[key] = value;
    }
    return JsonDump(object);
}

std::string RecordJson(const Run& run, int exitStatus, const CliReporter& reporter,
                       const std::string& time) {
    Json object = Json::object();
    object["time"] = JsonText(time);
    AddCommon(object, run, exitStatus, reporter);
    object["results"] = run.results;
    object["tool"] = JsonText("varnel-cli " VARNEL_VERSION);
    return JsonDump(object);
}

// The commands. Each fills in run from what the procedures did.
class Commands {
public:
    Commands(CliContext& context, Session& session, CliReporter& reporter)
        : m_context(context), m_session(session), m_reporter(reporter) {}

    void Info(Run& run) {
        const RadioInfoResult result = ReadRadioInfo(m_session);
        run.outcome = FromOutcome(result.outcome);
        if (result.outcome == Outcome::Done && result.answeredUnexpectedly) {
            // The window shows what was read; a script hears that the link misbehaved.
            run.outcome = RunOutcome::LinkFailed;
        }
        run.Result("fields", InfoFields(result));
        if (result.outcome == Outcome::Done) {
            run.lines = InfoLines(result);
        }
    }

    void Region(Run& run) {
        const RegionalIdReadResult region = ReadRegionalId(m_session);
        run.outcome = FromOutcome(region.read.outcome);
        if (!region.read.read) {
            run.Result("region", nullptr);
            run.Result("region_code", nullptr);
            return;
        }
        run.Result("region", JsonText(region.text, TextBytes::Latin1));
        run.Result("region_code", region.code ? Json(*region.code) : Json(nullptr));
        if (region.read.outcome == Outcome::Done) {
            run.lines.push_back(TerminalText(region.text));
        }
    }

    void ProgramRegion(Run& run, std::uint8_t code) {
        const std::string name = RegionalIdText(code);
        run.Result("region", JsonText(name));
        const ReadResult check = CheckNoRegionalId(m_session);
        if (check.outcome != Outcome::Done) {
            run.outcome = FromOutcome(check.outcome);
            run.Result("write", "none");
            return;
        }
        if (Stopped()) {
            run.outcome = RunOutcome::Cancelled;
            run.Result("write", "none");
            return;
        }
        const WriteResult write = ProgramRegionalId(m_session, code);
        run.outcome = FromOutcome(write.outcome);
        run.Result("write", WriteWord(write));
        if (write.outcome == Outcome::Done) {
            run.lines.push_back(name);
        }
    }

    // esn, or the lowest free ESN of pool when one is given.
    void ProgramEsn(Run& run, const EsnFields& esn, const std::optional<std::string>& pool,
                    bool verify) {
        std::string write = "none";
        std::optional<bool> verified;
        EsnWriteResult result;
        run.outcome = ProgramEsnSteps(esn, pool, verify, result, verified);
        const std::string display = result.esn ? FormatEsn(*result.esn)
                                    : pool     ? std::string()
                                               : FormatEsn(esn);
        run.Result("esn", display.empty() ? Json(nullptr) : JsonText(display));
        if (pool) {
            run.Result("pool", JsonText(*pool));
        }
        if (result.settlement == Settlement::Confirmed) {
            write = "confirmed";
        } else if (result.settlement == Settlement::Unconfirmed) {
            write = "unconfirmed";
        }
        run.Result("write", write);
        if (verified) {
            run.Result("verified", *verified);
        }
        run.Result("registry", RegistryAnswerJson(result));
        if (run.outcome == RunOutcome::Done) {
            run.lines.push_back(display);
        }
    }

    void Registry(Run& run, const Arguments& arguments, IEsnRegistry& registry) {
        RegistryError error;
        // A refusal by the registry's own rules is the user's request refused (exit 1); anything
        // else is a registry that cannot be used (exit 4).
        auto failed = [&](const RegistryError& why) {
            m_reporter.Tell(MSG_ERROR, why.message);
            run.outcome = why.refused ? RunOutcome::Refused : RunOutcome::RegistryFailed;
        };
        const std::vector<std::string>& words = arguments.registryWords;
        const auto& esns = arguments.registryEsns;
        run.outcome = RunOutcome::Done;
        switch (arguments.registryCommand) {
            case RegistryCommand::PoolAdd: {
                if (const auto why = registry.AddPool(words[0], esns[0], esns[1])) {
                    return failed(*why);
                }
                EsnPool pool{words[0], esns[0], esns[1], esns[1].field3 - esns[0].field3 + 1};
                for (const EsnPool& known : registry.Pools(error)) {
                    if (known.name == pool.name) {
                        pool = known;
                    }
                }
                run.lines.push_back(PoolLine(pool));
                run.Result("pools", PoolsJson({pool}));
                return;
            }
            case RegistryCommand::Pools: {
                const std::vector<EsnPool> pools = registry.Pools(error);
                if (!error.message.empty()) {
                    return failed(error);
                }
                for (const EsnPool& pool : pools) {
                    run.lines.push_back(PoolLine(pool));
                }
                run.Result("pools", PoolsJson(pools));
                return;
            }
            case RegistryCommand::Show: {
                const std::string esn = FormatEsn(esns[0]);
                const auto entry = registry.Find(esn, error);
                if (!error.message.empty()) {
                    return failed(error);
                }
                run.Result("esn", esn);
                run.Result("entry", entry ? EntryJson(*entry) : Json(nullptr));
                run.lines = entry ? std::vector<std::string>{EntryLine(*entry)}
                                  : std::vector<std::string>{esn + "\tfree"};
                return;
            }
            case RegistryCommand::List:
            case RegistryCommand::Export: {
                ListFilter filter;
                filter.pool = arguments.poolFilter;
                if (arguments.stateFilter) {
                    filter.state = EsnStateFromWord(*arguments.stateFilter);
                }
                const std::vector<EsnEntry> entries = registry.List(filter, error);
                if (!error.message.empty()) {
                    return failed(error);
                }
                run.Result("entries", EntriesJson(entries));
                if (arguments.registryCommand == RegistryCommand::Export) {
                    std::string csv = EntriesCsv(entries);
                    csv.pop_back();  // the last line end is the output's own
                    run.lines.push_back(csv);
                } else {
                    for (const EsnEntry& entry : entries) {
                        run.lines.push_back(EntryLine(entry));
                    }
                }
                return;
            }
            case RegistryCommand::Import:
                return Import(run, words[0], registry);
            case RegistryCommand::Release:
            case RegistryCommand::Confirm: {
                const std::string esn = FormatEsn(esns[0]);
                const bool release = arguments.registryCommand == RegistryCommand::Release;
                if (const auto why = release ? registry.Release(esn, *arguments.reason)
                                             : registry.Confirm(esn)) {
                    return failed(*why);
                }
                const auto entry = registry.Find(esn, error);
                run.Result("esn", esn);
                run.Result("entry", entry ? EntryJson(*entry) : Json(nullptr));
                run.lines.push_back(entry ? EntryLine(*entry) : esn);
                return;
            }
            case RegistryCommand::None:
                break;
        }
    }

    void Ports(Run& run) {
        const std::vector<PortEntry> ports = ListPorts(
            [this](const std::string& name) { return m_context.settings.PortDevice(name); },
            m_context.probe);
        run.lines = PortLines(ports);
        run.Result("ports", PortsArray(ports));
        run.outcome = RunOutcome::Done;
    }

private:
    bool Stopped() const { return m_context.stopSignal() != 0; }

    static std::string WriteWord(const WriteResult& write) {
        if (write.outcome == Outcome::Done) {
            return "confirmed";
        }
        // The request went out and nobody saw the radio answer it: it may have taken the value.
        const bool unanswered =
            write.outcome == Outcome::Cancelled || write.outcome == Outcome::LinkFailed;
        return write.requestSent && !write.answered && unanswered ? "unconfirmed" : "none";
    }

    RunOutcome ProgramEsnSteps(const EsnFields& esn, const std::optional<std::string>& pool,
                               bool verify, EsnWriteResult& result, std::optional<bool>& verified) {
        if (Stopped()) {
            return RunOutcome::Cancelled;
        }
        const ReadResult check = CheckEsnBlank(m_session);
        if (check.outcome != Outcome::Done) {
            return FromOutcome(check.outcome);
        }
        if (Stopped()) {
            return RunOutcome::Cancelled;
        }
        // Reserved in the registry before the write frame leaves, settled after its reply.
        result = pool ? ProgramNextEsn(m_session, *pool) : varnel::ProgramEsn(m_session, esn);
        if (result.outcome != Outcome::Done) {
            return FromOutcome(result.outcome);
        }
        if (!verify) {
            return RunOutcome::Done;
        }
        if (Stopped()) {
            return RunOutcome::Cancelled;
        }
        const EsnReadBackResult back = ReadEsnBack(m_session, *result.esn);
        verified = back.verified;
        return FromOutcome(back.outcome);
    }

    // What the registry said about one write: its answer, what it keeps now, the entry that
    // held the ESN, and why it could not be used.
    Json RegistryAnswerJson(const EsnWriteResult& result) const {
        Json object = Json::object();
        object["location"] = m_session.registry != nullptr
                                 ? JsonText(m_session.registry->Location())
                                 : Json(nullptr);
        const bool asked = !result.entry.esn.empty() || !result.registryError.empty() ||
                           result.reserve != ReserveStatus::Failed;
        std::string answer = "none";
        if (asked) {
            switch (result.reserve) {
                case ReserveStatus::Reserved:
                    answer = "reserved";
                    break;
                case ReserveStatus::Held:
                    answer = "held";
                    break;
                case ReserveStatus::Exhausted:
                    answer = "exhausted";
                    break;
                case ReserveStatus::Failed:
                    answer = "failed";
                    break;
            }
        }
        object["answer"] = answer;
        if (result.reserve == ReserveStatus::Reserved && result.settlement) {
            // What the registry keeps now: the settlement, or Sending when it could not be
            // recorded.
            const char* state = !result.settled                                 ? "sending"
                                : *result.settlement == Settlement::Confirmed   ? "confirmed"
                                : *result.settlement == Settlement::Unconfirmed ? "unconfirmed"
                                                                                : "free";
            object["state"] = state;
        } else {
            object["state"] = nullptr;
        }
        if (result.reserve == ReserveStatus::Held) {
            object["held_by"] = EntryJson(result.entry);
        }
        if (!result.registryError.empty()) {
            object["error"] = JsonText(result.registryError);
        }
        return object;
    }

    void Import(Run& run, const std::string& path, IEsnRegistry& registry) {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            m_reporter.Tell(MSG_ERROR, "The file " + path + " could not be opened.");
            run.outcome = RunOutcome::Usage;
            return;
        }
        long long imported = 0;
        long long alreadyHeld = 0;
        long long unreadable = 0;
        std::string text;
        int number = 0;
        while (std::getline(file, text)) {
            ++number;
            if (number == 1 && text.rfind("\xEF\xBB\xBF", 0) == 0) {
                text.erase(0, 3);  // a byte-order mark from a Windows editor
            }
            if (!text.empty() && text.back() == '\r') {
                text.pop_back();
            }
            if (text.find_first_not_of(" \t") == std::string::npos) {
                continue;
            }
            const auto record = ParseJson(text);
            if (!record || record->kind != JsonValue::Kind::Object) {
                // Never passed over quietly: a cut line may hide an ESN that is in a radio.
                ++unreadable;
                m_reporter.Tell(MSG_ERROR, "Line " + std::to_string(number) + " of " + path +
                                               " cannot be read; it is not imported.");
                continue;
            }
            std::optional<EsnEntry> entry = EntryFromRecord(*record);
            if (!entry) {
                continue;
            }
            const ReserveResult result = registry.Import(*entry);
            switch (result.status) {
                case ReserveStatus::Reserved:
                    ++imported;
                    break;
                case ReserveStatus::Held:
                case ReserveStatus::Exhausted:
                    ++alreadyHeld;
                    break;
                case ReserveStatus::Failed:
                    m_reporter.Tell(MSG_ERROR, result.error.message);
                    if (!result.error.refused) {
                        run.outcome = RunOutcome::RegistryFailed;
                        return;
                    }
                    ++unreadable;
                    break;
            }
        }
        run.lines.push_back("imported " + std::to_string(imported) + ", already held " +
                            std::to_string(alreadyHeld) + ", not imported " +
                            std::to_string(unreadable));
        Json counts = Json::object();
        counts["imported"] = imported;
        counts["already_held"] = alreadyHeld;
        counts["not_imported"] = unreadable;
        run.Result("import", std::move(counts));
        run.outcome = unreadable == 0 ? RunOutcome::Done : RunOutcome::Refused;
    }

    // The ESN a program-esn line of a record file shows in a radio, or possibly in one: its write
    // confirmed (or the run done), or sent without a confirmation.
    static std::optional<EsnEntry> EntryFromRecord(const JsonValue& record) {
        if (record.StringAt("command") != "program-esn") {
            return std::nullopt;
        }
        const JsonValue* results = record.Find("results");
        const auto text = results != nullptr ? results->StringAt("esn") : std::nullopt;
        const auto fields = text ? EsnFromText(*text, EsnEntryRule::CommandLine).esn : std::nullopt;
        if (!fields) {
            return std::nullopt;
        }
        const auto write = results->StringAt("write");
        const bool confirmed = record.StringAt("outcome") == "ok" || write == "confirmed";
        if (!confirmed && write != "unconfirmed") {
            return std::nullopt;
        }
        EsnEntry entry;
        entry.esn = FormatEsn(*fields);
        entry.state = confirmed ? EsnState::Confirmed : EsnState::Unconfirmed;
        entry.origin.port = record.StringAt("port").value_or(std::string());
        entry.origin.station = "imported";
        entry.reservedAt = record.StringAt("time").value_or(std::string());
        entry.settledAt = entry.reservedAt;
        if (const JsonValue* pool = results->Find("pool");
            pool != nullptr && pool->kind == JsonValue::Kind::String) {
            entry.pool = pool->text;
        }
        return entry;
    }

    CliContext& m_context;
    Session& m_session;
    CliReporter& m_reporter;
};

}  // namespace

std::string HelpText() {
    return "Usage: varnel-cli [--port PORT] [--registry LOCATION] [--json] [--trace] [--record "
           "FILE]\n"
           "                  COMMAND [ARG...]\n"
           "\n"
           "Talks to a two-way radio on a serial port, as the Varnel dialogs do.\n"
           "\n"
           "Commands:\n"
           "  info                 read the radio's identity and status: eleven lines\n"
           "                       \"Label: value\", as the Radio Info dialog shows them\n"
           "  program-esn ESN      write ESN (FIELD1/FIELD2/FIELD3 in decimal, e.g. 130/5/123456)\n"
           "                       into a radio whose ESN is blank; prints it as 130/05/123456.\n"
           "                       The ESN is reserved in the ESN registry before it is sent;\n"
           "                       one the registry holds in any state is refused (exit 1)\n"
           "      --next POOL      instead of ESN: the lowest free ESN of POOL\n"
           "      --verify         then read the ESN back and compare\n"
           "  region               read the Regional ID and print it as text (a read that\n"
           "                       worked exits 0, whatever region the radio has)\n"
           "  program-region R     write the Regional ID into a radio that has none; R is\n"
           "                       \"North America\", \"Latin America\", \"EMEA\" or \"Asia\" "
           "(any\n"
           "                       case), or the code 1-4\n"
           "  ports                COM1-COM4: the device each maps to and whether it is present,\n"
           "                       held (by another program, or not yours to open) or missing\n"
           "  registry pool-add NAME FIRST LAST\n"
           "                       add a pool: the ESNs FIRST to LAST, which differ only in\n"
           "                       field 3\n"
           "  registry pools       each pool: name, first, last, free ESNs (tab-separated)\n"
           "  registry show ESN    the registry's entry of ESN, or \"free\"\n"
           "  registry list        the entries, newest first, one tab-separated line each: esn,\n"
           "                       state, pool, station, user, port, radio serial, reserved,\n"
           "                       settled, reason\n"
           "      --pool NAME      only the entries of pool NAME\n"
           "      --state STATE    only sending, unconfirmed, confirmed or released entries\n"
           "  registry export --csv\n"
           "                       every entry as CSV, with a header line\n"
           "  registry import FILE the confirmed and unconfirmed writes of a record file become\n"
           "                       entries\n"
           "  registry release ESN --reason TEXT\n"
           "                       free an unconfirmed or sending ESN, keeping the reason; a\n"
           "                       confirmed ESN is never released\n"
           "  registry confirm ESN mark an unconfirmed or sending ESN confirmed, once Radio Info\n"
           "                       shows it in the radio\n"
           "\n"
           "Options:\n"
           "  --port PORT          COM1-COM4 (mapped through the app's settings, [Ports]) or a\n"
           "                       device path; default: the port chosen in the app\n"
           "  --registry LOCATION  the ESN registry: an SQLite file path or a postgresql:// URI;\n"
           "                       default: the settings' [Registry] Location, else\n"
           "                       $XDG_DATA_HOME/Tessaran/Varnel/esn-registry.sqlite\n"
           "  --json               print one JSON object on standard output, whatever happens\n"
           "  --trace              print every frame on standard error: ms since the start,\n"
           "                       '>' sent, '=' the line's echo, '<' the radio, then the bytes\n"
           "  --record FILE        append one JSON line per run to FILE, with the registry's\n"
           "                       answer; a log only, never read\n"
           "  --help, --version\n"
           "\n"
           "Messages go to standard error as \"error: TEXT\" or \"info: TEXT\".\n"
           "\n"
           "Exit status:\n"
           "  0    done\n"
           "  1    the radio refused, or this cannot be done on this radio (not blank, a region\n"
           "       already set, the write rejected, not supported, a --verify mismatch), the\n"
           "       registry holds the ESN or the pool has none left, the registry refused the\n"
           "       request, or the record line could not be written\n"
           "  2    the link failed: no answer, a bad checksum, incomplete, too long, unexpected\n"
           "  3    the port could not be opened\n"
           "  4    the ESN registry could not be used (unreachable, locked, a failed write, a\n"
           "       schema too new); nothing was sent to the radio\n"
           "  64   usage: bad arguments, an invalid ESN, a record file that cannot be used\n"
           "  130  stopped by SIGINT, 143 by SIGTERM, 129 by SIGHUP, 131 by SIGQUIT (the port is\n"
           "       closed at once); on Windows 130 is Ctrl+C, 143 Ctrl+Break or the console\n"
           "       window closing\n";
}

int RunCli(const std::vector<std::string>& args, CliContext& context) {
    const Arguments arguments = ParseArguments(args);
    if (arguments.help) {
        context.out.Write(HelpText());
        return kExitDone;
    }
    if (arguments.version) {
        context.out.Write("varnel-cli " VARNEL_VERSION "\n");
        return kExitDone;
    }

    ErrorStream errors(context.err, context.errIsTerminal);
    CliReporter reporter(errors);
    const std::string startTime = Iso8601Utc(context.unixMs());
    Run run;
    run.command = std::string(CommandName(arguments.command));

    auto finish = [&](RecordFile* record) {
        const int signal = context.stopSignal();
        if (signal != 0) {
            run.outcome = RunOutcome::Cancelled;
            std::string name = context.stopName ? context.stopName() : std::string();
            if (name.empty()) {
                name = SignalName(signal);
            }
            reporter.Tell(MSG_ERROR, "Stopped by " + name + ".");
        }
        int exitStatus = ExitStatus(run.outcome, signal);
        if (record != nullptr) {
            std::string error;
            if (!record->Append(RecordJson(run, exitStatus, reporter, startTime), error)) {
                reporter.Tell(MSG_ERROR, error);
                if (exitStatus == kExitDone) {
                    exitStatus = kExitRefused;
                }
            }
            record->Close();
        }
        if (arguments.json) {
            context.out.Write(OutputJson(run, exitStatus, reporter) + "\n");
        } else if (exitStatus == kExitDone) {
            std::string text;
            for (const std::string& line : run.lines) {
                text += line + "\n";
            }
            context.out.Write(text);
        }
        return exitStatus;
    };

    if (!arguments.error.empty()) {
        reporter.Tell(MSG_ERROR, arguments.error);
        run.outcome = RunOutcome::Usage;
        return finish(nullptr);
    }

    // As the app does: a settings file that cannot be trusted is said once and left alone, and
    // the run goes on with the defaults.
    if (const std::string damage = context.settings.Damage(); !damage.empty()) {
        context.err.Write(
            DescribeSettingsDamage("varnel-cli", context.settings.Location(), damage) + "\n");
    }
    // Named, told and recorded in its normal spelling: --port COM01 is COM1.
    const std::string port = NormalPortName(
        arguments.port ? *arguments.port : PortNameFromIndex(context.settings.SerialPortIndex()));
    run.port = port;
    const std::string device = ResolvePortDevice(
        port, [&](const std::string& name) { return context.settings.PortDevice(name); });
    if (!device.empty()) {
        run.device = device;
    }

    RecordFile recordFile;
    RecordFile* record = nullptr;
    if (arguments.record) {
        std::string error;
        if (!recordFile.Open(*arguments.record, error)) {
            reporter.Tell(MSG_ERROR, error);
            run.outcome = RunOutcome::Usage;
            return finish(nullptr);
        }
        recordFile.SetCancelToken(context.cancel);
        record = &recordFile;
    }

    // The ESN registry, for the commands that write an ESN or look after the registry; opened
    // before any port, so that a registry that cannot be used leaves the radio untouched.
    std::unique_ptr<IEsnRegistry> registry;
    const bool needsRegistry =
        arguments.command == Command::ProgramEsn || arguments.command == Command::Registry;
    if (arguments.command == Command::Registry) {
        run.port.reset();
        run.device.reset();
    }
    if (needsRegistry && context.stopSignal() == 0) {
        const std::string location = RegistryLocationInForce(
            arguments.registry.value_or(context.settings.RegistryLocation()));
        RegistryError error;
        if (context.openRegistry) {
            registry = context.openRegistry(location, error);
        } else {
            error.message = "This tool has no ESN registry.";
        }
        if (!registry) {
            const std::string text = "The ESN registry " + location + " could not be used.";
            reporter.Tell(MSG_ERROR,
                          arguments.command == Command::ProgramEsn
                              ? text + " Nothing has been sent to the radio."
                              : text,
                          error.message);
            run.outcome = RunOutcome::RegistryFailed;
            if (arguments.command == Command::ProgramEsn) {
                run.Result("esn",
                           arguments.nextPool ? Json(nullptr) : JsonText(FormatEsn(arguments.esn)));
                run.Result("write", "none");
                Json answer = Json::object();
                answer["location"] = JsonText(location);
                answer["answer"] = "failed";
                answer["state"] = nullptr;
                answer["error"] = JsonText(error.message);
                run.Result("registry", std::move(answer));
            }
            return finish(record);
        }
    }

    Session session(context.link, reporter, context.clock, context.opener, port);
    ProgressLine progress(errors);
    session.observer = &progress;
    session.cancel = context.cancel;
    session.registry = registry.get();
    session.origin = context.origin;
    session.origin.port = port;
    TraceWriter trace(errors, context.elapsedMs);
    if (arguments.trace) {
        session.trace = &trace;
    }

    Commands commands(context, session, reporter);
    // Asked to stop before anything began: no port is opened at all.
    const Command command = context.stopSignal() != 0 ? Command::None : arguments.command;
    switch (command) {
        case Command::Info:
            commands.Info(run);
            break;
        case Command::ProgramEsn:
            commands.ProgramEsn(run, arguments.esn, arguments.nextPool, arguments.verify);
            break;
        case Command::Region:
            commands.Region(run);
            break;
        case Command::ProgramRegion:
            commands.ProgramRegion(run, arguments.regionCode);
            break;
        case Command::Ports:
            commands.Ports(run);
            break;
        case Command::Registry:
            commands.Registry(run, arguments, *registry);
            break;
        case Command::None:
            break;
    }
    errors.EndProgress();
    return finish(record);
}

}  // namespace varnel::cli
