#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "registry/EsnRegistry.h"
#include "strings/Messages.h"
#include "usecases/RegistryLocation.h"

namespace varnel {

// Opens the registry at a location: OpenEsnRegistry in the program, a registry of its own in a
// test.
using RegistryOpener =
    std::function<std::unique_ptr<IEsnRegistry>(const std::string& location, RegistryError&)>;

// Keeps the location the settings are to name (empty: none, so the default is used). Returns
// why nothing was written, in words for the user, or empty on success.
using RegistryLocationWriter = std::function<std::string(const std::string& location)>;

// How many of the newest entries the dialog lists: enough to see what the last radios of a shift
// got, few enough that a registry of a million entries opens the dialog as fast as an empty one.
inline constexpr std::int64_t kLatestEntryCount = 50;

// What the dialog shows of one registry: its pools and latest entries, one line each, and a line
// that says what was found or why nothing could be read.
struct RegistryOverview {
    bool usable = false;
    std::vector<std::string> pools;    // "line-a  130/05/000001 to 130/05/000999  998 free"
    std::vector<std::string> entries;  // newest first: ESN, state, station, time of reservation
    std::string status;
};

// Opens location with open and reads what the dialog shows of it. A registry that cannot be
// opened or read gives an overview that says why, with nothing in its lists.
RegistryOverview LoadRegistryOverview(const std::string& location, const RegistryOpener& open);

// A typed location taken as the dialog takes it, blanks around it removed: what to open (the
// default for an empty box) and what the settings keep (empty for the default, so that the
// default follows the user's data folder), or why the text cannot be a location.
struct TypedRegistryLocation {
    std::string location;
    std::string stored;
    std::string error;
};
TypedRegistryLocation TakeTypedRegistryLocation(const std::string& typed);

// The ESN Registry dialog as every window has it. The windows put the texts into controls and
// pass on what the user typed; what is read, tested, told and kept is decided here.
class RegistryDialogModel {
public:
    // stored: the location the settings name now (empty: none). open reaches a registry, write
    // keeps a new location, and reporter tells the user what a test found or why OK cannot end
    // the dialog.
    RegistryDialogModel(std::string stored, RegistryOpener open, RegistryLocationWriter write,
                        IMessageReporter& reporter);

    // What the location box holds when the dialog opens: the stored location, else the default.
    std::string LocationText() const;
    // The line under the box that names the default.
    static std::string DefaultText();

    // Reads the registry in force, for the dialog's opening.
    void Load();
    // What the pool and entry lists and the status line show now.
    const RegistryOverview& Shown() const { return m_shown; }

    // The Test button: opens the typed location and tells the user whether it can be used; the
    // lists then show what was found there. False when it cannot be used.
    bool Test(const std::string& typed);
    // OK: a changed location is kept only when it can be used and the settings took it; the user
    // has been told why not otherwise. True when the dialog may end.
    bool Accept(const std::string& typed);

private:
    std::string m_stored;
    RegistryOpener m_open;
    RegistryLocationWriter m_write;
    IMessageReporter& m_reporter;
    RegistryOverview m_shown;
};

}  // namespace varnel
