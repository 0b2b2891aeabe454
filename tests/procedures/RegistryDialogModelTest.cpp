// The ESN Registry dialog's rules, which every window shares, against real SQLite files: which
// location a typed text stands for, what a test of it tells, what OK keeps, and what the lists
// show of a registry.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "registry/EsnRegistry.h"
#include "strings/StringTable.h"
#include "tests/support/RecordingReporter.h"
#include "usecases/RegistryDialogModel.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;

// A scratch folder of its own, with the user's data folder (and so the default registry) in it.
class RegistryScratch {
public:
    RegistryScratch() {
        std::string pattern = (fs::temp_directory_path() / "varnel-regdlg-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_root = pattern;
        }
        if (const char* data = std::getenv("XDG_DATA_HOME")) {
            m_savedData = data;
        }
        ::setenv("XDG_DATA_HOME", (m_root / "data").c_str(), 1);
    }
    ~RegistryScratch() {
        if (m_savedData) {
            ::setenv("XDG_DATA_HOME", m_savedData->c_str(), 1);
        } else {
            ::unsetenv("XDG_DATA_HOME");
        }
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
    RegistryScratch(const RegistryScratch&) = delete;
    RegistryScratch& operator=(const RegistryScratch&) = delete;

    std::string Path(const std::string& name) const { return (m_root / name).string(); }
    // The text with {dir} replaced by the scratch folder and {default} by the default location.
    std::string Expand(std::string text) const {
        for (const auto& [mark, value] :
             {std::pair<std::string, std::string>{"{dir}", m_root.string()},
              {"{default}", DefaultRegistryLocation()}}) {
            for (std::size_t at = text.find(mark); at != std::string::npos;
                 at = text.find(mark, at + value.size())) {
                text.replace(at, mark.size(), value);
            }
        }
        return text;
    }

private:
    fs::path m_root;
    std::optional<std::string> m_savedData;
};

EsnEntry Held(const char* esn, EsnState state, const char* reservedAt) {
    EsnEntry entry;
    entry.esn = esn;
    entry.state = state;
    entry.pool = "line-a";
    entry.origin.station = "bench-1";
    entry.reservedAt = reservedAt;
    return entry;
}

// A line's registry at {dir}/line.sqlite: one pool of ten, two of them taken.
void MakeLineRegistry(const RegistryScratch& scratch) {
    RegistryError error;
    auto registry = OpenEsnRegistry(scratch.Path("line.sqlite"), error);
    ASSERT_NE(registry, nullptr) << error.message;
    ASSERT_FALSE(registry->AddPool("line-a", {130, 5, 1}, {130, 5, 10}));
    ASSERT_EQ(
        registry->Import(Held("130/05/000001", EsnState::Confirmed, "2026-12-10T10:12:51.123Z"))
            .status,
        ReserveStatus::Reserved);
    ASSERT_EQ(
        registry->Import(Held("130/05/000002", EsnState::Unconfirmed, "2026-12-10T10:14:03.500Z"))
            .status,
        ReserveStatus::Reserved);
}

const std::vector<std::string> kLinePools = {"line-a  130/05/000001 to 130/05/000010  8 free"};
// Newest first, the columns under each other.
const std::vector<std::string> kLineEntries = {
    "130/05/000002  unconfirmed  bench-1  2026-12-10 10:14:03 UTC",
    "130/05/000001  confirmed    bench-1  2026-12-10 10:12:51 UTC",
};

struct LocationCase {
    const char* name;
    const char* stored;  // what the settings name when the dialog opens
    const char* typed;   // what the location box holds at Test and at OK
    int testMessage;     // what Test tells
    const char* status;  // how the status line starts after Test
    std::vector<std::string> pools;
    std::vector<std::string> entries;
    int okMessage;                       // what OK tells; 0: the dialog ends
    std::optional<std::string> written;  // what OK keeps; nullopt: nothing written
};
void PrintTo(const LocationCase& c, std::ostream* os) {
    *os << c.name;
}

class RegistryLocation : public ::testing::TestWithParam<LocationCase> {};

TEST_P(RegistryLocation, TestTellsAndOkKeepsOnlyALocationThatWorks) {
    const LocationCase& c = GetParam();
    RegistryScratch scratch;
    MakeLineRegistry(scratch);
    std::ofstream(scratch.Path("notes.txt")) << "not a registry, but long enough to be read as "
                                                "the header of one, which it is not\n";
    test::RecordingReporter reporter;
    std::vector<std::string> writes;
    RegistryDialogModel model(
        scratch.Expand(c.stored), OpenEsnRegistry,
        [&](const std::string& location) {
            writes.push_back(location);
            return std::string();
        },
        reporter);
    const std::string typed = scratch.Expand(c.typed);

    EXPECT_EQ(model.Test(typed), c.testMessage == IDS_REGISTRY_TEST_PASSED);
    ASSERT_EQ(reporter.Ids(), std::vector<int>{c.testMessage});
    const std::string status = scratch.Expand(c.status);
    if (c.testMessage != IDS_REGISTRY_LOCATION_INVALID) {
        EXPECT_EQ(model.Shown().status.rfind(status, 0), 0u) << model.Shown().status;
        EXPECT_EQ(reporter.Messages()[0].detail, model.Shown().status);
    } else {
        EXPECT_FALSE(reporter.Messages()[0].detail.empty());
    }
    EXPECT_EQ(reporter.Messages()[0].text, LoadString(c.testMessage));
    EXPECT_EQ(model.Shown().pools, c.pools);
    EXPECT_EQ(model.Shown().entries, c.entries);
    // A password never reaches the screen.
    EXPECT_EQ(model.Shown().status.find("secret"), std::string::npos);

    reporter.Clear();
    EXPECT_EQ(model.Accept(typed), c.okMessage == 0);
    EXPECT_EQ(reporter.Ids(),
              c.okMessage == 0 ? std::vector<int>{} : std::vector<int>{c.okMessage});
    EXPECT_EQ(writes, c.written ? std::vector<std::string>{scratch.Expand(*c.written)}
                                : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegistryLocation,
    ::testing::Values(
        // The default, made on first use; the settings keep nothing for it, typed out or not.
        LocationCase{"DefaultLeftEmpty",
                     "",
                     "  ",
                     IDS_REGISTRY_TEST_PASSED,
                     "{default}: no pool, no entry.",
                     {},
                     {},
                     0,
                     std::nullopt},
        LocationCase{"DefaultTypedOut",
                     "",
                     "{default}",
                     IDS_REGISTRY_TEST_PASSED,
                     "{default}: no pool, no entry.",
                     {},
                     {},
                     0,
                     std::nullopt},
        LocationCase{"BackToTheDefault",
                     "{dir}/line.sqlite",
                     "",
                     IDS_REGISTRY_TEST_PASSED,
                     "{default}: ",
                     {},
                     {},
                     0,
                     ""},
        // A typed path, blanks around it dropped, is kept once it has been seen to work.
        LocationCase{"TypedPath", "", " {dir}/line.sqlite\t", IDS_REGISTRY_TEST_PASSED,
                     "{dir}/line.sqlite: 1 pool, 2 entries.", kLinePools, kLineEntries, 0,
                     "{dir}/line.sqlite"},
        LocationCase{"UnchangedPath", "{dir}/line.sqlite", "{dir}/line.sqlite",
                     IDS_REGISTRY_TEST_PASSED, "{dir}/line.sqlite: ", kLinePools, kLineEntries, 0,
                     std::nullopt},
        // No location at all: nothing is opened, nothing kept.
        LocationCase{"RelativePath",
                     "",
                     "esn-registry.sqlite",
                     IDS_REGISTRY_LOCATION_INVALID,
                     "",
                     {},
                     {},
                     IDS_REGISTRY_LOCATION_INVALID,
                     std::nullopt},
        LocationCase{"OtherScheme",
                     "",
                     "mysql://line/esn",
                     IDS_REGISTRY_LOCATION_INVALID,
                     "",
                     {},
                     {},
                     IDS_REGISTRY_LOCATION_INVALID,
                     std::nullopt},
        LocationCase{"Folder",
                     "",
                     "{dir}/",
                     IDS_REGISTRY_LOCATION_INVALID,
                     "",
                     {},
                     {},
                     IDS_REGISTRY_LOCATION_INVALID,
                     std::nullopt},
        LocationCase{"LineBreak",
                     "",
                     "{dir}/a\nb.sqlite",
                     IDS_REGISTRY_LOCATION_INVALID,
                     "",
                     {},
                     {},
                     IDS_REGISTRY_LOCATION_INVALID,
                     std::nullopt},
        // A location that cannot be used says why, and OK keeps the old one.
        LocationCase{"UnderAFile",
                     "",
                     "{dir}/line.sqlite/esn.sqlite",
                     IDS_REGISTRY_TEST_FAILED,
                     "The ESN registry {dir}/line.sqlite/esn.sqlite could not be used: ",
                     {},
                     {},
                     IDS_REGISTRY_LOCATION_UNUSABLE,
                     std::nullopt},
        LocationCase{"NoRegistryFile",
                     "",
                     "{dir}/notes.txt",
                     IDS_REGISTRY_TEST_FAILED,
                     "The ESN registry {dir}/notes.txt could not be used: ",
                     {},
                     {},
                     IDS_REGISTRY_LOCATION_UNUSABLE,
                     std::nullopt},
        LocationCase{"ServerNotThere",
                     "",
                     "postgresql://station:secret@/varnel?host={dir}/no-server",
                     IDS_REGISTRY_TEST_FAILED,
                     "The ESN registry postgresql://station@/varnel?host={dir}/no-server could "
                     "not be used: ",
                     {},
                     {},
                     IDS_REGISTRY_LOCATION_UNUSABLE,
                     std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// The dialog opens on the registry in force; a stored location that cannot be used shows why,
// with nothing in the lists, and stays in the box to be put right.
TEST(RegistryDialog, OpensOnTheRegistryInForce) {
    RegistryScratch scratch;
    MakeLineRegistry(scratch);
    test::RecordingReporter reporter;
    for (const auto& [stored, box, usable] :
         {std::tuple<std::string, std::string, bool>{"", DefaultRegistryLocation(), true},
          {scratch.Path("line.sqlite"), scratch.Path("line.sqlite"), true},
          {scratch.Path("line.sqlite/x.sqlite"), scratch.Path("line.sqlite/x.sqlite"), false}}) {
        SCOPED_TRACE(stored);
        RegistryDialogModel model(stored, OpenEsnRegistry, {}, reporter);
        EXPECT_EQ(model.LocationText(), box);
        model.Load();
        EXPECT_EQ(model.Shown().usable, usable) << model.Shown().status;
        EXPECT_EQ(model.Shown().entries.size(), stored.empty() || !usable ? 0u : 2u);
    }
    EXPECT_TRUE(reporter.Messages().empty());
    EXPECT_NE(RegistryDialogModel::DefaultText().find(DefaultRegistryLocation()),
              std::string::npos);
}

// Settings that cannot be written keep the dialog open with why; the next OK tries again.
TEST(RegistryDialog, OkSaysWhyTheSettingsDidNotTakeTheLocation) {
    RegistryScratch scratch;
    MakeLineRegistry(scratch);
    test::RecordingReporter reporter;
    std::string failWith = "The settings file is read-only.";
    int writes = 0;
    RegistryDialogModel model(
        "", OpenEsnRegistry,
        [&](const std::string&) {
            ++writes;
            return failWith;
        },
        reporter);
    EXPECT_FALSE(model.Accept(scratch.Path("line.sqlite")));
    ASSERT_EQ(reporter.Ids(), std::vector<int>{IDS_REGISTRY_LOCATION_NOT_SAVED});
    EXPECT_EQ(reporter.Messages()[0].detail, failWith);
    failWith.clear();
    EXPECT_TRUE(model.Accept(scratch.Path("line.sqlite")));
    EXPECT_EQ(writes, 2);
    // Kept now: the same text again writes nothing more.
    EXPECT_TRUE(model.Accept(scratch.Path("line.sqlite")));
    EXPECT_EQ(writes, 2);
}

// The lists stop at the newest entries, however large the registry.
TEST(RegistryDialog, ListsOnlyTheLatestEntries) {
    RegistryScratch scratch;
    RegistryError error;
    auto registry = OpenEsnRegistry(scratch.Path("big.sqlite"), error);
    ASSERT_NE(registry, nullptr) << error.message;
    for (int n = 1; n <= kLatestEntryCount + 5; ++n) {
        char at[32];
        std::snprintf(at, sizeof at, "2026-12-10T10:%02d:%02d.000Z", n / 60, n % 60);
        ASSERT_EQ(
            registry->Import(Held(FormatEsn({130, 5, n}).c_str(), EsnState::Confirmed, at)).status,
            ReserveStatus::Reserved);
    }
    const RegistryOverview shown =
        LoadRegistryOverview(scratch.Path("big.sqlite"), OpenEsnRegistry);
    ASSERT_EQ(shown.entries.size(), static_cast<std::size_t>(kLatestEntryCount));
    EXPECT_EQ(shown.entries.front().rfind(FormatEsn({130, 5, kLatestEntryCount + 5}), 0), 0u);
    EXPECT_EQ(shown.status, scratch.Path("big.sqlite") + ": no pool, the latest " +
                                std::to_string(kLatestEntryCount) + " entries.");
}

}  // namespace
}  // namespace varnel
