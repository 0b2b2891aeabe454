#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "procedures/PortList.h"
#include "procedures/Session.h"
#include "registry/EsnRegistry.h"
#include "settings/SettingsStore.h"

namespace varnel {

// How one radio left the station.
enum class StationVerdict {
    Pass,         // written, acknowledged, read back the same: confirmed in the registry
    Fail,         // refused, not blank, a failed link before the write, a registry that said no:
                  // no ESN was used up
    Unconfirmed,  // the write went out and nobody saw it taken, or it read back otherwise: the
                  // registry keeps the ESN held until someone resolves it
};

// "PASS", "FAIL", "UNCONFIRMED": as the window shows a verdict and the shift's CSV writes it.
std::string_view StationVerdictWord(StationVerdict verdict);

// One radio of the shift.
struct StationRadio {
    std::string time;          // UTC, as the registry writes it: "2026-12-10T10:12:51.123Z"
    std::string serialNumber;  // empty when the radio did not give it
    std::string esn;           // the ESN written, empty when none was used
    StationVerdict verdict = StationVerdict::Fail;
    // Why it failed, in the words the dialogs use; for an unconfirmed ESN also how to resolve it.
    std::string reason;
};

// Passed, failed and unconfirmed radios of the shift.
struct StationCounts {
    int passed = 0;
    int failed = 0;
    int unconfirmed = 0;
};

// Where the station's ESNs come from: the lowest free ESN of a pool, or one typed per radio (a
// barcode scanner that types the ESN and Enter).
struct StationSource {
    std::string pool;  // empty: typed ESNs
    bool Typed() const { return pool.empty(); }
};

// A production station: radio after radio, one key each. For every radio it runs, as separate
// exchanges, the blank test with the radio's Serial Number, the reservation and write of the
// ESN, and its read-back; the ESN is confirmed in the registry only once it has read back the
// same. It keeps the shift (this station's radios, newest first) and its counts. Everything the
// user would be told goes into the radio's reason rather than to a message box: a station shows
// its verdict in one place.
class CProductionStation {
public:
    // How many of the station's latest radios the shift holds when read back from the registry.
    static constexpr std::size_t kShiftLength = 1000;

    // Gives the time a radio without a registry entry is recorded at; by default the system's.
    using TimeSource = std::function<std::string()>;

    explicit CProductionStation(TimeSource now = {});

    // Programs the radio on session's port (with the session's registry, origin and runner):
    // typedEsn is the text typed for this radio, and is only looked at for a typed source. The
    // result is also put at the top of the shift.
    StationRadio Program(Session& session, const StationSource& source,
                         const std::string& typedEsn = {});

    // Reads the shift back from registry: the station's latest radios that were given an ESN.
    // Radios that failed before an ESN was used are only kept while the program runs. False with
    // error set when the registry could not be read; the shift is then left as it was.
    bool LoadShift(IEsnRegistry& registry, const std::string& station, RegistryError& error);

    const std::vector<StationRadio>& Shift() const { return m_shift; }
    StationCounts Counts() const;
    // The shift as CSV, a header line first, oldest radio first.
    std::string ShiftCsv() const;

private:
    StationRadio Run(Session& session, const StationSource& source, const std::string& typedEsn);

    TimeSource m_now;
    std::vector<StationRadio> m_shift;
};

// A registry entry as a radio of the shift.
StationRadio StationRadioOf(const EsnEntry& entry);

// What the station is set up with, as the window remembers it in the settings.
struct StationSetup {
    StationSource source;
    std::string station;  // by default the host name
};
StationSetup LoadStationSetup(SettingsStore& settings);
// Returns why nothing was written, empty on success.
std::string SaveStationSetup(SettingsStore& settings, const StationSetup& setup);

// One choice of the window's ESN source list: typed ESNs first, then each pool with its range
// and free count ("line-a: 130/05/000001 to 130/05/000100, 95 free").
struct StationSourceChoice {
    StationSource source;
    std::string text;
};
std::vector<StationSourceChoice> StationSourceChoices(const std::vector<EsnPool>& pools);
inline constexpr std::string_view kTypedEsnChoice = "Typed ESN";

// A colour as red, green and blue, 0 to 255 each.
struct StationColour {
    unsigned char red = 0, green = 0, blue = 0;
};

// How a radio's result is shown: the large word on its colour (white on green for a pass, on red
// otherwise), the lines under it, and how often the bell rings (once for a pass, three times
// otherwise), so that an operator who is not looking knows.
struct StationBanner {
    std::string word;  // "PASS" or "FAIL"
    std::string detail;
    bool passed = false;
    int bells = 3;
    StationColour background{0xB0, 0x1C, 0x1C};
    StationColour text{0xFF, 0xFF, 0xFF};
};
// The rings of the bell this far apart: three heard as three, not as one long one.
inline constexpr int kStationBellIntervalMs = 300;
StationBanner BannerOf(const StationRadio& radio);
// The banner in one line, for the window's accessible name and a screen reader.
std::string SpokenResult(const StationRadio& radio);
// "Passed: 3   Failed: 1   Unconfirmed: 0"
std::string CountsText(const StationCounts& counts);
// One row of the shift's table, in the columns of kShiftColumns.
inline constexpr std::array<std::string_view, 4> kShiftColumns = {"Time", "Serial Number", "ESN",
                                                                  "Result"};
std::array<std::string, 4> ShiftRow(const StationRadio& radio);

// Writes the shift's CSV to path (UTF-8); returns why it could not, empty on success. A file that
// could not be written completely is removed rather than left looking like a whole shift.
std::string SaveShiftCsv(const CProductionStation& station, const std::string& path);

// ---- What both windows of the station say and decide ------------------------------------------

inline constexpr std::string_view kStationPrompt = "Connect a radio, then press Enter or Space.";
inline constexpr std::string_view kStationInProgress = "In progress...";
// Each followed by the reason.
inline constexpr std::string_view kStationPoolsUnread = "The pools could not be read: ";
inline constexpr std::string_view kStationShiftUnread = "The shift could not be read back: ";
inline constexpr std::string_view kStationSetupUnsaved = "The set-up was not saved: ";
inline constexpr std::string_view kShiftNotExported = "The shift was not exported.";

// A text typed into the window (a station's name, a scanned ESN) without the blanks around it.
std::string TrimmedStationText(std::string_view text);
// The set-up as the window's controls give it: the station's name trimmed, and the host's name
// when nothing is left of it.
StationSetup StationSetupOf(const StationSource& source, std::string_view typedStation);
// Points session at port portIndex (0 for COM1) and puts the station in what the registry
// records of each radio.
void AimStationSession(Session& session, int portIndex, const std::string& station);
// Whether the window offers port: every port that is there, and the chosen one even when it is
// not, so that the choice is shown as it stands.
bool StationOffersPort(const PortEntry& port, int chosenIndex);
// The window's accessible name after a radio: "Varnel - Production Line: PASS, ESN ...".
std::string StationWindowName(std::string_view caption, const StationRadio& radio);

// Exports the shift to path: the line the window shows when it was written; otherwise the
// failure is told through reporter and nothing is returned. An empty path (the file dialog
// cancelled) does nothing.
std::string ExportShift(const CProductionStation& station, const std::string& path,
                        IMessageReporter& reporter);

// What the Production Line window holds and does, whichever window draws it: the session its
// radios run on, the set-up it remembers, the choices of its source list and the shift of the
// station it shows. The window reads its controls into a set-up and renders what this gives.
class CProductionLine {
public:
    CProductionLine(Session session, SettingsStore& settings);

    // Opening the window: the set-up remembered, with the sources and the station's shift read.
    StationSetup Open();
    // The source list, typed ESNs first; the choice that stands for pool (typed ESNs when the
    // pool is no longer there); the source of the choice at index (typed ESNs when none is).
    const std::vector<StationSourceChoice>& Sources() const { return m_sources; }
    int SourceIndex(const std::string& pool) const;
    StationSource SourceAt(int index) const;
    // The next radio, on port portIndex (0 for COM1) with typedEsn as the text typed for it: the
    // set-up is remembered first, another station's shift is read in its place, and afterwards
    // the pools are read again (their free counts have changed).
    StationRadio Program(const StationSetup& setup, int portIndex, std::string_view typedEsn);
    // Exports the shift as ExportShift does, telling a failure through the session's reporter.
    std::string Export(const std::string& path);

    // What could not be read or saved at the last step, for the window's prompt: empty when all
    // went well.
    const std::string& Problem() const { return m_problem; }
    // The prompt the window shows now: the problem, else kStationPrompt.
    std::string Prompt() const;
    const CProductionStation& Station() const { return m_station; }

private:
    void ReadSources();
    void ReadShift(const std::string& station);
    void AddProblem(std::string_view what, const std::string& why);

    Session m_session;
    SettingsStore& m_settings;
    CProductionStation m_station;
    std::vector<StationSourceChoice> m_sources;
    std::string m_shiftStation;  // whose shift is shown
    std::string m_problem;
};

// The keys of the station: Enter and Space run the next radio (a foot switch sends one of them),
// a key held down runs one radio, not several.
enum class StationKey { Enter, Space, Other };
// Where the key was pressed.
enum class StationKeyFocus {
    RunButton,    // "Program"
    OtherButton,  // Close, Export Shift...: Enter and Space are the button's own
    TextField,    // Space is typed into it; Enter runs
    Elsewhere,    // a list, the table, the window
};
enum class StationKeyAction {
    Pass,     // the control's own key
    Swallow,  // an auto-repeated Enter or Space: nothing happens
    Run,      // the next radio
};
StationKeyAction StationKeyActionOf(StationKey key, bool autoRepeat, bool modified,
                                    StationKeyFocus focus);

}  // namespace varnel
