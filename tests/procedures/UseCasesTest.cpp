// What the front ends share above the procedures: typed ESN fields taken by each front end's
// rule, where each Radio Info value goes, and which texts the ESN Registry dialog takes as a
// location on this system.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "strings/StringTable.h"
#include "usecases/EsnEntry.h"
#include "usecases/RadioInfoFields.h"
#include "usecases/RegistryDialogModel.h"
#include "usecases/RegistryLocation.h"

namespace varnel {
namespace {

// One typed ESN under both rules: as the dialog's three fields and as one command-line text.
struct EntryCase {
    std::array<std::string_view, 3> fields;
    std::optional<EsnFields> dialog;
    std::optional<EsnFields> commandLine;
};

constexpr EsnFields kSample{130, 5, 123456};

const EntryCase kEntryCases[] = {
    {{"130", "5", "123456"}, kSample, kSample},
    {{"130", "05", "123456"}, kSample, kSample},
    {{"007", "0", "1"}, EsnFields{7, 0, 1}, EsnFields{7, 0, 1}},
    {{"255", "15", "262143"}, EsnFields{255, 15, 262143}, EsnFields{255, 15, 262143}},
    {{"0", "0", "000001"}, EsnFields{0, 0, 1}, EsnFields{0, 0, 1}},
    // An empty field is 0 in the dialog; a command line never fills one in.
    {{"", "", "1"}, EsnFields{0, 0, 1}, std::nullopt},
    {{"130", "", "123456"}, EsnFields{130, 0, 123456}, std::nullopt},
    {{"", "5", "123456"}, EsnFields{0, 5, 123456}, std::nullopt},
    {{"130", "5", ""}, std::nullopt, std::nullopt},  // field 3 starts at 1
    {{"0", "0", "0"}, std::nullopt, std::nullopt},
    {{"256", "0", "1"}, std::nullopt, std::nullopt},
    {{"0", "16", "1"}, std::nullopt, std::nullopt},
    {{"0", "0", "262144"}, std::nullopt, std::nullopt},
    // Longer than a field: the dialog's controls never hold it, a command line refuses it.
    {{"0255", "0", "1"}, EsnFields{255, 0, 1}, std::nullopt},
    {{"0", "015", "1"}, EsnFields{0, 15, 1}, std::nullopt},
    {{"0", "0", "0000001"}, EsnFields{0, 0, 1}, std::nullopt},
    {{"99999999999", "0", "1"}, std::nullopt, std::nullopt},
    {{"+1", "5", "123456"}, std::nullopt, std::nullopt},
    {{"12 ", "5", "123456"}, std::nullopt, std::nullopt},
    {{"1.0", "5", "123456"}, std::nullopt, std::nullopt},
    {{"1\xB2", "5", "123456"}, std::nullopt, std::nullopt},  // a superscript two is no digit
};

TEST(EsnEntry, EachFrontEndsRuleTakesTheSameTypedFields) {
    for (const EntryCase& c : kEntryCases) {
        const std::string text = std::string(c.fields[0]) + "/" + std::string(c.fields[1]) + "/" +
                                 std::string(c.fields[2]);
        SCOPED_TRACE(text);
        const TypedEsn dialog = EsnFromFields(c.fields, EsnEntryRule::Dialog);
        const TypedEsn fields = EsnFromFields(c.fields, EsnEntryRule::CommandLine);
        const TypedEsn argument = EsnFromText(text, EsnEntryRule::CommandLine);
        EXPECT_EQ(dialog.esn, c.dialog);
        EXPECT_EQ(fields.esn, c.commandLine);
        EXPECT_EQ(argument.esn, c.commandLine);
        for (const TypedEsn* entry : {&dialog, &fields, &argument}) {
            EXPECT_EQ(entry->message, entry->esn ? 0 : static_cast<int>(IDS_ESN_INVALID));
        }
    }
}

TEST(EsnEntry, ATextIsExactlyThreeFields) {
    for (const char* text : {"", "1", "1/2", "1-2-3", "1/2/3/4", "1/2/3/", "/1/2/3", " 1/2/3",
                             "1/2/3 ", "130//123456"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(EsnFromText(text, EsnEntryRule::CommandLine).esn, std::nullopt);
    }
    EXPECT_EQ(EsnFromText("//1", EsnEntryRule::Dialog).esn, (EsnFields{0, 0, 1}));
    EXPECT_EQ(EsnFromText("1/2/3/4", EsnEntryRule::Dialog).esn, std::nullopt);
}

TEST(EsnEntry, TheControlsTakeEachFieldsLength) {
    const int lengths[] = {3, 2, 6};
    const int ids[] = {ProgramEsnIds::IDC_ESN_FIELD1, ProgramEsnIds::IDC_ESN_FIELD2,
                       ProgramEsnIds::IDC_ESN_FIELD3};
    for (std::size_t i = 0; i < kEsnEntryControls.size(); ++i) {
        EXPECT_EQ(kEsnEntryControls[i].id, ids[i]);
        EXPECT_EQ(kEsnEntryControls[i].maxLength, lengths[i]);
    }
}

TEST(RadioInfoFields, EachValueHasItsOwnControlAndKey) {
    std::set<int> controls;
    std::set<std::string_view> keys;
    for (const RadioInfoField& field : kRadioInfoFields) {
        controls.insert(field.control);
        keys.insert(field.key);
    }
    EXPECT_EQ(controls.size(), kRadioInfoFieldCount);
    EXPECT_EQ(keys.size(), kRadioInfoFieldCount);
    EXPECT_EQ(kRadioInfoFields[7].control, RadioInfoIds::IDC_ESN);
    EXPECT_EQ(kRadioInfoFields[8].control, RadioInfoIds::IDC_REGIONAL_ID);
    EXPECT_EQ(kRadioInfoFields[8].key, "regional_id");
    EXPECT_EQ(kRadioInfoFields[10].key, "radio_ic_versions");
}

// A typed registry location as this system's paths go: what is opened and kept, or refused
// before anything is opened. Nothing here opens a registry.
struct TypedLocationCase {
    const char* typed;
    const char* kept;  // nullptr: refused
};

const TypedLocationCase kTypedLocations[] = {
    {"postgresql://station@db.line/varnel", "postgresql://station@db.line/varnel"},
    {" postgres://db.line/varnel?sslmode=verify-full ",
     "postgres://db.line/varnel?sslmode=verify-full"},
    {"mysql://db.line/varnel", nullptr},
    {"esn-registry.sqlite", nullptr},
    {"registry/esn.sqlite", nullptr},
    {"postgresql://db.line/varnel\n", "postgresql://db.line/varnel"},  // a line end typed after it
    {"postgresql://db.line/var\tnel", nullptr},
#ifdef _WIN32
    {"C:\\Line\\esn.sqlite", "C:\\Line\\esn.sqlite"},
    {"d:/line/esn.sqlite", "d:/line/esn.sqlite"},
    {"\\\\server\\line\\esn.sqlite", "\\\\server\\line\\esn.sqlite"},
    {"C:esn.sqlite", nullptr},        // relative to the drive's current folder
    {"\\line\\esn.sqlite", nullptr},  // relative to the current drive
    {"C:\\Line\\", nullptr},
#else
    {"/srv/line/esn.sqlite", "/srv/line/esn.sqlite"},
    {"/srv/line/", nullptr},
    {"C:\\Line\\esn.sqlite", nullptr},
#endif
};

TEST(RegistryLocationTyped, IsAPathOfThisSystemOrAServerUri) {
    for (const TypedLocationCase& c : kTypedLocations) {
        const TypedRegistryLocation taken = TakeTypedRegistryLocation(c.typed);
        if (c.kept == nullptr) {
            EXPECT_FALSE(taken.error.empty()) << c.typed;
            EXPECT_TRUE(taken.location.empty() && taken.stored.empty()) << c.typed;
        } else {
            EXPECT_EQ(taken.error, "") << c.typed;
            EXPECT_EQ(taken.stored, c.kept) << c.typed;
            EXPECT_EQ(taken.location, c.kept) << c.typed;
        }
    }
    // Where every front end reserves: the location named, else the default.
    EXPECT_EQ(RegistryLocationInForce(""), DefaultRegistryLocation());
    EXPECT_EQ(RegistryLocationInForce(" \t"), DefaultRegistryLocation());
    EXPECT_EQ(RegistryLocationInForce(" postgresql://db.line/varnel\n"),
              "postgresql://db.line/varnel");
    // The default, left empty or typed out, is kept as no location at all.
    for (const std::string& typed : {std::string(" "), DefaultRegistryLocation()}) {
        const TypedRegistryLocation taken = TakeTypedRegistryLocation(typed);
        EXPECT_EQ(taken.location, DefaultRegistryLocation());
        EXPECT_EQ(taken.stored, "");
        EXPECT_EQ(taken.error, "");
    }
}

}  // namespace
}  // namespace varnel
