#include "cli/Cli.h"

#include <csignal>
#include <optional>
#include <utility>

#include "cli/Arguments.h"
#include "cli/Json.h"
#include "cli/Output.h"
#include "cli/RecordFile.h"
#include "procedures/EsnProgramming.h"
#include "procedures/EsnReadBack.h"
#include "procedures/Programming.h"
#include "procedures/RadioInfo.h"
#include "procedures/RegionProgramming.h"
#include "radio/Regions.h"
#include "settings/SettingsStore.h"
#include "strings/StringTable.h"

#ifndef VARNEL_VERSION
#define VARNEL_VERSION "unknown"
#endif

namespace varnel::cli {
namespace {

// How a run ended, beyond the procedures' outcomes: the command line itself was wrong.
enum class RunOutcome { Done, Refused, LinkFailed, PortNotOpened, Cancelled, Usage };

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
    Commands(CliContext& context, Session& session, CliReporter& reporter, RecordFile* record)
        : m_context(context), m_session(session), m_reporter(reporter), m_record(record) {}

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

    void ProgramEsn(Run& run, const EsnFields& esn, bool verify) {
        const std::string display = FormatEsn(esn);
        run.Result("esn", JsonText(display));
        std::string write = "none";
        std::optional<bool> verified;
        std::optional<int> inRecord;
        run.outcome = ProgramEsnSteps(esn, display, verify, write, verified, inRecord);
        run.Result("write", write);
        if (inRecord) {
            run.Result("in_record", *inRecord);
        }
        if (verified) {
            run.Result("verified", *verified);
        }
        if (run.outcome == RunOutcome::Done) {
            run.lines.push_back(display);
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

    RunOutcome ProgramEsnSteps(const EsnFields& esn, const std::string& display, bool verify,
                               std::string& write, std::optional<bool>& verified,
                               std::optional<int>& inRecord) {
        if (m_record != nullptr) {
            // Held until the record line is written: no other station can program this ESN
            // between the look below and the line that says it is taken.
            std::string error;
            switch (m_record->Lock(error)) {
                case RecordFile::LockResult::Locked:
                    break;
                case RecordFile::LockResult::Interrupted:
                    return RunOutcome::Cancelled;
                case RecordFile::LockResult::Failed:
                    m_reporter.Tell(MSG_ERROR, error);
                    return RunOutcome::Usage;
            }
            std::vector<RecordLine> lines;
            const bool read = m_record->ReadLines(
                lines,
                [this](int number) {
                    m_reporter.Warn("The record file " + m_record->Path() + " has a line " +
                                    std::to_string(number) +
                                    " that cannot be read; it is skipped.");
                },
                error);
            if (!read) {
                m_reporter.Tell(MSG_ERROR, error);
                return RunOutcome::Usage;
            }
            if (const auto earlier = FindEsnInRecord(lines, display)) {
                inRecord = earlier->line;
                m_reporter.Tell(
                    MSG_ERROR,
                    earlier->confirmed
                        ? "The ESN " + display + " was already programmed at " + earlier->time +
                              " on " + earlier->port + " (line " + std::to_string(earlier->line) +
                              " of " + m_record->Path() + "). Two radios must never share an ESN."
                        : "The ESN " + display + " may already be in a radio: its write at " +
                              earlier->time + " on " + earlier->port +
                              " was never confirmed (line " + std::to_string(earlier->line) +
                              " of " + m_record->Path() +
                              "). Check that radio with varnel-cli info before using this ESN.");
                return RunOutcome::Refused;
            }
        }
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
        const WriteResult result = varnel::ProgramEsn(m_session, esn);
        write = WriteWord(result);
        if (write == "unconfirmed") {
            m_reporter.Tell(MSG_ERROR,
                            "The ESN write went out but was never confirmed: the radio "
                            "may now hold " +
                                display +
                                ". Check it with varnel-cli info before programming "
                                "another radio.");
        }
        if (result.outcome != Outcome::Done) {
            return FromOutcome(result.outcome);
        }
        if (!verify) {
            return RunOutcome::Done;
        }
        if (Stopped()) {
            return RunOutcome::Cancelled;
        }
        const EsnReadBackResult back = ReadEsnBack(m_session, esn);
        verified = back.verified;
        return FromOutcome(back.outcome);
    }

    CliContext& m_context;
    Session& m_session;
    CliReporter& m_reporter;
    RecordFile* m_record;
};

}  // namespace

std::string HelpText() {
    return "Usage: varnel-cli [--port PORT] [--json] [--trace] [--record FILE] COMMAND [ARG]\n"
           "\n"
           "Talks to a two-way radio on a serial port, as the Varnel dialogs do.\n"
           "\n"
           "Commands:\n"
           "  info                 read the radio's identity and status: eleven lines\n"
           "                       \"Label: value\", as the Radio Info dialog shows them\n"
           "  program-esn ESN      write ESN (FIELD1/FIELD2/FIELD3 in decimal, e.g. 130/5/123456)\n"
           "                       into a radio whose ESN is blank; prints it as 130/05/123456\n"
           "      --verify         then read the ESN back and compare\n"
           "  region               read the Regional ID and print it as text (a read that\n"
           "                       worked exits 0, whatever region the radio has)\n"
           "  program-region R     write the Regional ID into a radio that has none; R is\n"
           "                       \"North America\", \"Latin America\", \"EMEA\" or \"Asia\" "
           "(any\n"
           "                       case), or the code 1-4\n"
           "  ports                COM1-COM4: the device each maps to and whether it is present,\n"
           "                       held (by another program, or not yours to open) or missing\n"
           "\n"
           "Options:\n"
           "  --port PORT          COM1-COM4 (mapped through the app's settings, [Ports]) or a\n"
           "                       device path; default: the port chosen in the app\n"
           "  --json               print one JSON object on standard output, whatever happens\n"
           "  --trace              print every frame on standard error: ms since the start,\n"
           "                       '>' sent, '=' the line's echo, '<' the radio, then the bytes\n"
           "  --record FILE        append one JSON line per run to FILE; program-esn refuses an\n"
           "                       ESN that FILE shows already programmed (the file is locked\n"
           "                       across the exchange, so stations may share it)\n"
           "  --help, --version\n"
           "\n"
           "Messages go to standard error as \"error: TEXT\" or \"info: TEXT\".\n"
           "\n"
           "Exit status:\n"
           "  0    done\n"
           "  1    the radio refused, or this cannot be done on this radio (not blank, a region\n"
           "       already set, the write rejected, not supported, a --verify mismatch, an ESN\n"
           "       already in the record), or the record line could not be written\n"
           "  2    the link failed: no answer, a bad checksum, incomplete, too long, unexpected\n"
           "  3    the port could not be opened\n"
           "  64   usage: bad arguments, an invalid ESN, a record file that cannot be used\n"
           "  130  stopped by SIGINT, 143 by SIGTERM (the port is closed at once); on Windows\n"
           "       130 is Ctrl+C, 143 Ctrl+Break or the console window closing\n";
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

    Session session(context.link, reporter, context.clock, context.opener, port);
    ProgressLine progress(errors);
    session.observer = &progress;
    session.cancel = context.cancel;
    TraceWriter trace(errors, context.elapsedMs);
    if (arguments.trace) {
        session.trace = &trace;
    }

    Commands commands(context, session, reporter, record);
    // Asked to stop before anything began: no port is opened at all.
    const Command command = context.stopSignal() != 0 ? Command::None : arguments.command;
    switch (command) {
        case Command::Info:
            commands.Info(run);
            break;
        case Command::ProgramEsn:
            commands.ProgramEsn(run, arguments.esn, arguments.verify);
            if (run.outcome == RunOutcome::Cancelled && record != nullptr && !record->Locked()) {
                // Stopped while another station held the record: nothing was sent, and waiting
                // for the lock once more only to say so would keep the user waiting.
                record = nullptr;
            }
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
        case Command::None:
            break;
    }
    errors.EndProgress();
    return finish(record);
}

}  // namespace varnel::cli
