#include "usecases/RegistryDialogModel.h"

#include <utility>

#include "registry/PostgresRegistry.h"
#include "strings/StringTable.h"

namespace varnel {
namespace {

bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string Trimmed(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first])) {
        ++first;
    }
    while (last > first && IsBlank(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

bool HasControlCharacter(const std::string& text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return true;
        }
    }
    return false;
}

// A file path that means the same whatever folder the program was started in.
bool IsAbsolutePath(const std::string& path) {
#ifdef _WIN32
    const bool drive = path.size() >= 3 &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                       path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    const bool share = path.size() >= 3 && (path[0] == '\\' || path[0] == '/') &&
                       (path[1] == '\\' || path[1] == '/');
    return drive || share;
#else
    return !path.empty() && path[0] == '/';
#endif
}

bool EndsInSeparator(const std::string& path) {
    return !path.empty() && (path.back() == '/' || path.back() == '\\');
}

// A location as it may be shown: never with a server's password in it.
std::string Shown(const std::string& location) {
    return IsPostgresLocation(location) ? PostgresLocationWithoutPassword(location) : location;
}

std::string Counted(std::size_t count, const char* one, const char* many) {
    if (count == 0) {
        return std::string("no ") + one;
    }
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// "2026-12-10T10:12:51.123Z" as a person reads it: "2026-12-10 10:12:51 UTC". Anything else is
// shown as it stands.
std::string ShownTime(const std::string& timestamp) {
    if (timestamp.size() < 19 || timestamp[10] != 'T' || timestamp.back() != 'Z') {
        return timestamp;
    }
    return timestamp.substr(0, 10) + " " + timestamp.substr(11, 8) + " UTC";
}

std::string Padded(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

std::string PoolLine(const EsnPool& pool) {
    return pool.name + "  " + FormatEsn(pool.first) + " to " + FormatEsn(pool.last) + "  " +
           std::to_string(pool.freeCount) + " free";
}

std::string EntryLine(const EsnEntry& entry) {
    // The state is padded to its longest word, so that station and time line up down the list.
    const std::string station = entry.origin.station.empty() ? "-" : entry.origin.station;
    return entry.esn + "  " + Padded(EsnStateWord(entry.state), 11) + "  " + station + "  " +
           ShownTime(entry.reservedAt);
}

RegistryOverview Unusable(const std::string& location, const std::string& why) {
    RegistryOverview overview;
    overview.status = "The ESN registry " + Shown(location) + " could not be used: " + why;
    return overview;
}

}  // namespace

RegistryOverview LoadRegistryOverview(const std::string& location, const RegistryOpener& open) {
    if (!open) {
        return Unusable(location, "there is no way to open a registry here.");
    }
    RegistryError error;
    const std::unique_ptr<IEsnRegistry> registry = open(location, error);
    if (!registry) {
        return Unusable(location,
                        error.message.empty() ? "it could not be opened." : error.message);
    }
    const std::vector<EsnPool> pools = registry->Pools(error);
    if (!error.message.empty()) {
        return Unusable(location, error.message);
    }
    ListFilter latest;
    latest.limit = kLatestEntryCount;
    const std::vector<EsnEntry> entries = registry->List(latest, error);
    if (!error.message.empty()) {
        return Unusable(location, error.message);
    }
    RegistryOverview overview;
    overview.usable = true;
    for (const EsnPool& pool : pools) {
        overview.pools.push_back(PoolLine(pool));
    }
    for (const EsnEntry& entry : entries) {
        overview.entries.push_back(EntryLine(entry));
    }
    std::string shownEntries = Counted(entries.size(), "entry", "entries");
    if (entries.size() == static_cast<std::size_t>(kLatestEntryCount)) {
        shownEntries = "the latest " + shownEntries;
    }
    overview.status = registry->Location() + ": " + Counted(pools.size(), "pool", "pools") + ", " +
                      shownEntries + ".";
    return overview;
}

TypedRegistryLocation TakeTypedRegistryLocation(const std::string& typed) {
    TypedRegistryLocation taken;
    const std::string text = Trimmed(typed);
    if (text.empty() || text == DefaultRegistryLocation()) {
        taken.location = DefaultRegistryLocation();
        return taken;
    }
    if (HasControlCharacter(text)) {
        taken.error = "A location is one line of printable characters.";
        return taken;
    }
    if (IsPostgresLocation(text)) {
        taken.location = taken.stored = text;
        return taken;
    }
    if (text.find("://") != std::string::npos) {
        taken.error =
            "Only a postgresql:// or postgres:// URI names a registry server; anything "
            "else is the path of an SQLite file.";
        return taken;
    }
    if (!IsAbsolutePath(text)) {
        taken.error = "The path of an SQLite file must be absolute (" + DefaultRegistryLocation() +
                      ", say): a relative one would be looked up in whatever folder Varnel "
                      "was started in.";
        return taken;
    }
    if (EndsInSeparator(text)) {
        taken.error = "The path names a folder; give the path of the registry file in it.";
        return taken;
    }
    taken.location = taken.stored = text;
    return taken;
}

RegistryDialogModel::RegistryDialogModel(std::string stored, RegistryOpener open,
                                         RegistryLocationWriter write, IMessageReporter& reporter)
    : m_stored(Trimmed(stored)),
      m_open(std::move(open)),
      m_write(std::move(write)),
      m_reporter(reporter) {}

std::string RegistryDialogModel::LocationText() const {
    return RegistryLocationInForce(m_stored);
}

std::string RegistryDialogModel::DefaultText() {
    return "Left empty, it is the file in your data folder: " + DefaultRegistryLocation();
}

void RegistryDialogModel::Load() {
    m_shown = LoadRegistryOverview(RegistryLocationInForce(m_stored), m_open);
}

bool RegistryDialogModel::Test(const std::string& typed) {
    const TypedRegistryLocation taken = TakeTypedRegistryLocation(typed);
    if (!taken.error.empty()) {
        ShowText(m_reporter, MSG_ERROR, IDS_REGISTRY_LOCATION_INVALID,
                 LoadString(IDS_REGISTRY_LOCATION_INVALID), taken.error);
        return false;
    }
    m_shown = LoadRegistryOverview(taken.location, m_open);
    const int id = m_shown.usable ? IDS_REGISTRY_TEST_PASSED : IDS_REGISTRY_TEST_FAILED;
    ShowText(m_reporter, m_shown.usable ? MSG_INFO : MSG_ERROR, id, LoadString(id), m_shown.status);
    return m_shown.usable;
}

bool RegistryDialogModel::Accept(const std::string& typed) {
    const TypedRegistryLocation taken = TakeTypedRegistryLocation(typed);
    if (!taken.error.empty()) {
        ShowText(m_reporter, MSG_ERROR, IDS_REGISTRY_LOCATION_INVALID,
                 LoadString(IDS_REGISTRY_LOCATION_INVALID), taken.error);
        return false;
    }
    if (taken.stored == m_stored) {
        return true;
    }
    // A location is kept only once it has been seen to work: a slip in a path or a server name
    // would otherwise only show at the next Program ESN, on the production line.
    RegistryOverview found = LoadRegistryOverview(taken.location, m_open);
    if (!found.usable) {
        m_shown = std::move(found);
        ShowText(m_reporter, MSG_ERROR, IDS_REGISTRY_LOCATION_UNUSABLE,
                 LoadString(IDS_REGISTRY_LOCATION_UNUSABLE), m_shown.status);
        return false;
    }
    const std::string why =
        m_write ? m_write(taken.stored) : std::string("There is nowhere to keep the location.");
    if (!why.empty()) {
        ShowText(m_reporter, MSG_ERROR, IDS_REGISTRY_LOCATION_NOT_SAVED,
                 LoadString(IDS_REGISTRY_LOCATION_NOT_SAVED), why);
        return false;
    }
    m_stored = taken.stored;
    m_shown = std::move(found);
    return true;
}

}  // namespace varnel
