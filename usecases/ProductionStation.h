#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

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

// How a radio's result is shown: the large word, the lines under it, and how often the bell
// rings (once for a pass, three times otherwise), so that an operator who is not looking knows.
struct StationBanner {
    std::string word;  // "PASS" or "FAIL"
    std::string detail;
    bool passed = false;
    int bells = 3;
};
StationBanner BannerOf(const StationRadio& radio);
// The banner in one line, for the window's accessible name and a screen reader.
std::string SpokenResult(const StationRadio& radio);
// "Passed: 3   Failed: 1   Unconfirmed: 0"
std::string CountsText(const StationCounts& counts);
// One row of the shift's table, in the columns of kShiftColumns.
inline constexpr std::array<std::string_view, 4> kShiftColumns = {"Time", "Serial Number", "ESN",
                                                                  "Result"};
std::array<std::string, 4> ShiftRow(const StationRadio& radio);

// The window's own texts, the same in every front end that draws it.
inline constexpr std::string_view kStationPrompt = "Connect a radio, then press Enter or Space.";
inline constexpr std::string_view kStationInProgress = "In progress...";
inline constexpr std::string_view kShiftNotExported = "The shift was not exported.";

// Writes the shift's CSV to path; returns why it could not, empty on success. A file that could
// not be written completely is removed rather than left looking like a whole shift.
std::string SaveShiftCsv(const CProductionStation& station, const std::string& path);

}  // namespace varnel
