#pragma once

#include <string_view>

namespace varnel {

// Every text the user can see is addressed by a numeric id, so that the wording lives in one
// place and the code never spells a message twice.
enum StringId : int {
    IDR_MAINFRAME = 128,

    IDS_ERROR_CAPTION = 20000,
    IDS_PORT_OPEN_FAILED = 20001,
    IDS_ESN_ALREADY_PROGRAMMED = 20002,
    IDS_ESN_FORMAT_UNSUPPORTED = 20003,
    IDS_ESN_PROGRAM_FAILED = 20004,
    IDS_ESN_PROGRAMMED = 20005,
    IDS_ESN_INVALID = 20006,
    IDS_REGION_FORMAT_UNSUPPORTED = 20008,
    IDS_REGION_ALREADY_PROGRAMMED = 20009,
    IDS_REGION_INVALID = 20010,
    IDS_REGION_NOT_SELECTED = 20011,
    IDS_REGION_PROGRAMMED = 20012,
    IDS_REGION_PROGRAM_FAILED = 20013,
    // A write cancelled after its request went out: nobody saw the radio confirm or refuse it.
    IDS_ESN_WRITE_CANCELLED = 20014,
    IDS_REGION_WRITE_CANCELLED = 20015,
    // The Serial Devices dialog: a mapping that could not be kept, a typed path of no device.
    IDS_PORT_MAPPING_NOT_SAVED = 20016,
    IDS_DEVICE_PATH_INVALID = 20017,
    // The ESN registry: an ESN it holds, a pool used up, a registry that cannot be used, a write
    // whose end could not be recorded, a write the radio may have taken.
    IDS_ESN_HELD = 20018,
    IDS_ESN_POOL_EXHAUSTED = 20019,
    IDS_REGISTRY_FAILED = 20020,
    IDS_REGISTRY_SETTLE_FAILED = 20021,
    IDS_ESN_UNCONFIRMED = 20022,
    // The ESN Registry dialog: what a test of a location found, a location that is no path or
    // URI, one that cannot be used or kept.
    IDS_REGISTRY_TEST_PASSED = 20023,
    IDS_REGISTRY_TEST_FAILED = 20024,
    IDS_REGISTRY_LOCATION_INVALID = 20025,
    IDS_REGISTRY_LOCATION_UNUSABLE = 20026,
    IDS_REGISTRY_LOCATION_NOT_SAVED = 20027,

    IDS_NO_PORT = 20100,
    IDS_CHECKSUM_ERROR = 20101,
    IDS_MESSAGE_TOO_LONG = 20102,
    IDS_MESSAGE_INCOMPLETE = 20103,
    IDS_NO_RESPONSE = 20104,
    IDS_NAK_RECEIVED = 20105,
    IDS_UNEXPECTED_RESPONSE = 20106,
    IDS_NOT_SUPPORTED = 20107,

    IDS_REGION_SUPER_ZANDREL = 20200,
    IDS_REGION_NORTH_AMERICA = 20201,
    IDS_REGION_LATIN_AMERICA = 20202,
    IDS_REGION_EMEA = 20203,
    IDS_REGION_ASIA = 20204,
    IDS_REGION_NONE = 20205,

    AFX_IDS_APP_TITLE = 57344,
    AFX_IDS_IDLEMESSAGE = 57345,
    ID_INDICATOR_CAPS = 59137,
    ID_INDICATOR_NUM = 59138,
    ID_INDICATOR_SCRL = 59139,
};

// Command ids. The string with a command's id holds its status-bar prompt and, after a line
// feed, its tooltip.
enum CommandId : int {
    ID_RADIO_INFO = 32771,
    ID_PROGRAM_ESN = 32772,
    ID_CONFIGURATION = 32773,
    ID_PROGRAM_REGIONAL_ID = 32774,
    ID_ESN_REGISTRY = 32775,
    ID_PRODUCTION_LINE = 32776,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_HELP_FINDER = 57667,
    ID_CONTEXT_HELP = 57669,
    ID_HELP = 57670,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
};

// The text of a string id; an id without an entry gives an empty text.
std::string_view LoadString(int id);

// The part of a command prompt before the line feed (the status-bar prompt) or after it
// (the tooltip); a prompt without a line feed is all prompt and no tooltip.
std::string_view PromptPart(std::string_view prompt);
std::string_view TooltipPart(std::string_view prompt);

}  // namespace varnel
