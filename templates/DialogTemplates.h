#pragma once

#include <span>

namespace varnel {

// Results and control ids that every dialog shares.
enum DialogId : int {
    kIdOk = 1,
    kIdCancel = 2,
    IDC_STATIC = -1,  // a control that no code addresses
};

enum class ControlKind {
    Text,          // static text; "\n" starts a new line
    Icon,          // the application icon
    Edit,          // single-line edit box that scrolls horizontally
    DropDownList,  // drop-down list without typing; the height is that of the dropped list
    DropDownEdit,  // drop-down list with an edit box to type into; the height is as above
    PushButton,
    DefPushButton,  // the button that Enter presses
    List,           // lines to read, one under the other, with a scroll bar when they overflow
    Table,          // read-only rows of columns; the dialog that fills it names the columns
};

enum ControlStyle : unsigned {
    CS_NONE = 0,
    CS_TABSTOP = 1u << 0,
    CS_READONLY = 1u << 1,  // edit boxes
    CS_WORDWRAP = 1u << 2,  // static text that breaks its lines at its width and keeps its size
};

// One line of a dialog template: position and size in dialog units, as the dialog's layout is
// drawn up, so that the dialog keeps its proportions with whatever font the desktop uses.
struct ControlTemplate {
    ControlKind kind;
    int id;
    int x, y, cx, cy;
    const char* text = "";
    unsigned style = CS_NONE;
};

// A dialog's layout. The order of the controls is the tab order. Every front end builds its
// dialogs from these, so a layout is changed in one place.
struct DialogTemplate {
    int id;
    const char* caption;
    int cx, cy;  // the client area in dialog units
    std::span<const ControlTemplate> controls;
};

// The ids of each dialog's template and controls; a dialog class takes them in as a base.
struct AboutBoxIds {
    enum : int { IDD = 100 };
};
struct ConfigurationIds {
    enum : int { IDD = 130, IDC_SERIAL_PORT = 1000, IDC_PORT_DEVICE = 1001, IDC_DEVICES = 1002 };
};
struct RadioInfoIds {
    enum : int {
        IDD = 132,
        IDC_MODEL_NUMBER = 1001,
        IDC_SERIAL_NUMBER = 1002,
        IDC_SOFTWARE_VERSION = 1003,
        IDC_CODEPLUG_VERSION = 1004,
        IDC_LAST_PROGRAMMED = 1005,
        IDC_CODEPLUG_PART_NO = 1006,
        IDC_FIRMWARE_PART_NO = 1007,
        IDC_REGIONAL_ID = 1008,
        IDC_ESN = 1009,
        IDC_UUID = 1011,
        IDC_RADIO_IC_VERSIONS = 1013,
    };
};
struct ProgramEsnIds {
    enum : int {
        IDD = 133,
        IDC_ESN_FIELD1 = 1002,
        IDC_ESN_FIELD2 = 1003,
        IDC_ESN_FIELD3 = 1004,
    };
};
struct ProgramRegionalIdIds {
    enum : int { IDD = 134, IDC_REGIONAL_ID = 1003 };
};

// One row for each of COM1 to COM4: the device the port name stands for.
struct SerialDevicesIds {
    enum : int {
        IDD = 135,
        IDC_COM1_DEVICE = 1001,
        IDC_COM2_DEVICE = 1002,
        IDC_COM3_DEVICE = 1003,
        IDC_COM4_DEVICE = 1004,
    };
    // The row of COM<number>, number 1 to 4.
    static constexpr int DeviceControl(int number) { return IDC_COM1_DEVICE + number - 1; }
};

// Where ESNs are reserved: the location (the default when left empty) with a test of it, and
// what that registry holds, its pools and its latest entries.
struct EsnRegistryIds {
    enum : int {
        IDD = 136,
        IDC_REGISTRY_LOCATION = 1001,
        IDC_REGISTRY_TEST = 1002,
        IDC_REGISTRY_DEFAULT = 1003,
        IDC_REGISTRY_POOLS = 1004,
        IDC_REGISTRY_ENTRIES = 1005,
        IDC_REGISTRY_STATUS = 1006,
    };
};

// The production station: where its ESNs come from, the port and the station's name; the
// result of the last radio, large; the counts and the table of the shift.
struct ProductionLineIds {
    enum : int {
        IDD = 137,
        IDC_ESN_SOURCE = 1001,
        IDC_PORT = 1002,
        IDC_STATION_NAME = 1003,
        IDC_TYPED_ESN = 1004,
        IDC_PROMPT = 1005,
        IDC_RESULT = 1006,
        IDC_RESULT_DETAIL = 1007,
        IDC_COUNTS = 1008,
        IDC_SHIFT = 1009,
        IDC_EXPORT = 1010,
    };
};

const DialogTemplate& AboutBoxTemplate();
const DialogTemplate& ConfigurationTemplate();
const DialogTemplate& RadioInfoTemplate();
const DialogTemplate& ProgramEsnTemplate();
const DialogTemplate& ProgramRegionalIdTemplate();
const DialogTemplate& SerialDevicesTemplate();
const DialogTemplate& EsnRegistryTemplate();
const DialogTemplate& ProductionLineTemplate();

}  // namespace varnel
