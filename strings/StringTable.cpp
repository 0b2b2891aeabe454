#include "strings/StringTable.h"

#include <algorithm>
#include <array>
#include <utility>

namespace varnel {
namespace {

struct Entry {
    int id;
    std::string_view text;
};

// Kept sorted by id: looked up by binary search.
constexpr std::array kEntries = {
    Entry{128, "Varnel\n\nVarnel\n\n\nVarnel.Document\nVarnel Document"},
    Entry{20000, "Error"},
    Entry{20001, "The serial port %s could not be opened.\nIt may be in use by another program."},
    Entry{20002, "An ESN has already been programmed to the connected radio."},
    Entry{20003, "The ESN format of the connected radio is not supported."},
    Entry{20004,
          "An error occured during programming of the ESN.\nThe ESN has not been programmed."},
    Entry{20005, "ESN successfully programmed."},
    Entry{20006, "Invalid ESN entered."},
    Entry{20008, "The Regional ID format of the connected radio is not supported."},
    Entry{20009, "A Regional ID has already been programmed to the connected radio."},
    Entry{20010, "The Regional ID of the connected radio is invalid."},
    Entry{20011, "No Regional ID selected."},
    Entry{20012, "Regional ID successfully programmed."},
    Entry{20013,
          "An error occured during programming of the Regional ID.\nThe Regional ID has not been "
          "programmed."},
    Entry{20014,
          "The ESN write was cancelled before the radio confirmed it.\nThe radio may have taken "
          "the ESN: check it with Radio Info before you program it again."},
    Entry{20015,
          "The Regional ID write was cancelled before the radio confirmed it.\nThe radio may have "
          "taken the Regional ID: check it with Radio Info before you program it again."},
    Entry{20016, "The port mapping could not be saved.\nNothing has been changed."},
    Entry{20017, "The device path entered is not valid."},
    Entry{20018,
          "The ESN %1 is already in the ESN registry: %2 since %3 on %4.\nTwo radios must never "
          "share an ESN. Nothing has been sent to the radio."},
    Entry{20019, "The ESN pool %1 has no free ESN left.\nNothing has been sent to the radio."},
    Entry{20020, "The ESN registry could not be used.\nNothing has been sent to the radio."},
    Entry{20021,
          "The ESN registry could not record how the write of %1 ended.\nThe registry keeps the "
          "ESN as sending, so it is not used again."},
    Entry{20022,
          "The radio may hold the ESN %1: nobody saw it confirm the write.\nThe ESN registry "
          "keeps it as unconfirmed. Read the radio with Radio Info, then confirm or release the "
          "ESN in the registry."},
    Entry{20023, "The ESN registry can be used."},
    Entry{20024, "The ESN registry could not be used."},
    Entry{20025, "The ESN registry location entered is not valid."},
    Entry{20026,
          "The ESN registry could not be used at the location entered.\nThe location has not "
          "been changed."},
    Entry{20027, "The ESN registry location could not be saved.\nNothing has been changed."},
    Entry{20100, "No serial port assigned."},
    Entry{20101, "Checksum error in received message."},
    Entry{20102, "Received message too long."},
    Entry{20103, "Received message incomplete."},
    Entry{20104, "No response from radio."},
    Entry{20105, "NAK received from radio."},
    Entry{20106, "Unexpected response from radio."},
    Entry{20107, "Operation not supported by this radio."},
    Entry{20200, "Super Zandrel"},
    Entry{20201, "North America"},
    Entry{20202, "Latin America"},
    Entry{20203, "EMEA"},
    Entry{20204, "Asia"},
    Entry{20205, "No Region defined"},
    Entry{32771, "Retrieve Status Information from the connected Radio\nRadio Info"},
    Entry{32772, "Program the ESN into the connected Radio\nProgram ESN"},
    Entry{32773, "Change the Program Configuration\nConfiguration"},
    Entry{32774, "Program the Regional ID into the connected Radio\nProgram Regional ID"},
    Entry{32775, "Choose where ESNs are registered and look at the registry\nESN Registry"},
    Entry{32776, "Program radio after radio from an ESN pool\nProduction Line"},
    Entry{57344, "Varnel"},
    Entry{57345, "For Help, press F1"},
    Entry{57664, "Display program information, version number and copyright\nAbout"},
    Entry{57665, "Quit the Varnel\nExit"},
    Entry{57667, "List Help topics\nHelp Topics"},
    Entry{57669, "Display help for clicked on buttons, menus and windows\nHelp"},
    Entry{59137, "CAP"},
    Entry{59138, "NUM"},
    Entry{59139, "SCRL"},
    Entry{59392, "Show or hide the toolbar\nToggle ToolBar"},
    Entry{59393, "Show or hide the status bar\nToggle StatusBar"},
};

static_assert(std::is_sorted(kEntries.begin(), kEntries.end(),
                             [](const Entry& a, const Entry& b) { return a.id < b.id; }));

}  // namespace

std::string_view LoadString(int id) {
    auto it = std::lower_bound(kEntries.begin(), kEntries.end(), id,
                               [](const Entry& e, int key) { return e.id < key; });
    if (it == kEntries.end() || it->id != id) {
        return {};
    }
    return it->text;
}

std::string_view PromptPart(std::string_view prompt) {
    return prompt.substr(0, prompt.find('\n'));
}

std::string_view TooltipPart(std::string_view prompt) {
    auto lf = prompt.find('\n');
    return lf == std::string_view::npos ? std::string_view{} : prompt.substr(lf + 1);
}

}  // namespace varnel
