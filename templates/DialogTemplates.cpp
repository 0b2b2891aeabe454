#include "templates/DialogTemplates.h"

namespace varnel {
namespace {

const ControlTemplate kAboutBox[] = {
    {ControlKind::Icon, IDC_STATIC, 12, 9, 21, 20},
    {ControlKind::Text, IDC_STATIC, 50, 8, 40, 8, "Varnel"},
    {ControlKind::Text, IDC_STATIC, 50, 24, 117, 8, "Version:  R01.03.00,  12.Apr.2010"},
    {ControlKind::DefPushButton, kIdOk, 185, 13, 32, 14, "OK", CS_TABSTOP},
};

const ControlTemplate kConfiguration[] = {
    {ControlKind::Text, IDC_STATIC, 8, 12, 55, 8, "Serial Port:"},
    {ControlKind::DropDownList, ConfigurationIds::IDC_SERIAL_PORT, 68, 8, 48, 60, "", CS_TABSTOP},
    {ControlKind::DefPushButton, kIdOk, 144, 4, 50, 14, "OK", CS_TABSTOP},
    {ControlKind::PushButton, kIdCancel, 144, 24, 50, 14, "Cancel", CS_TABSTOP},
    // What the chosen port name stands for on this machine, under the list and left of the
    // buttons; long device descriptions take a second or third line.
    {ControlKind::Text, ConfigurationIds::IDC_PORT_DEVICE, 8, 28, 130, 30, "", CS_WORDWRAP},
    {ControlKind::PushButton, ConfigurationIds::IDC_DEVICES, 144, 44, 50, 14, "Devices...",
     CS_TABSTOP},
};

using Info = RadioInfoIds;
constexpr unsigned kInfoField = CS_TABSTOP | CS_READONLY;
const ControlTemplate kRadioInfo[] = {
    {ControlKind::Text, IDC_STATIC, 8, 12, 64, 8, "Model Number:"},
    {ControlKind::Edit, Info::IDC_MODEL_NUMBER, 76, 8, 80, 14, "", kInfoField},
    {ControlKind::Text, IDC_STATIC, 8, 32, 64, 8, "Serial Number:"},
    {ControlKind::Edit, Info::IDC_SERIAL_NUMBER, 76, 28, 80, 14, "", kInfoField},
    {ControlKind::Text, IDC_STATIC, 8, 52, 64, 8, "ESN:"},
    {ControlKind::Edit, Info::IDC_ESN, 76, 48, 80, 14, "", kInfoField},
    {ControlKind::Text, IDC_STATIC, 8, 73, 64, 8, "Software Version:"},
    {ControlKind::Edit, Info::IDC_SOFTWARE_VERSION, 76, 68, 80, 14, "", kInfoField},
    {ControlKind::Text, IDC_STATIC, 8, 92, 64, 8, "Codeplug Version:"},
    {ControlKind::Edit, Info::IDC_CODEPLUG_VERSION, 76, 89, 80, 14, "", kInfoField},
    {ControlKind::Text, IDC_STATIC, 168, 12, 64, 8, "Last Programmed:"},
    {ControlKind::Edit, Info::IDC_LAST_PROGRAMMED, 236, 8, 80, 14, "", kInfoField},
    {ControlKind::Text, IDC_STATIC, 168, 32, 64, 8, "Codeplug Part No:"},
    {ControlKind::Edit, Info::IDC_CODEPLUG_PART_NO, 236, 28, 80, 14, "", kInfoField},
    {ControlKind::Text, IDC_STATIC, 168, 52, 64, 8, "Firmware Part No:"},
    {ControlKind::Edit, Info::IDC_FIRMWARE_PART_NO, 236, 48, 80, 14, "", kInfoField},
    {ControlKind::Text, IDC_STATIC, 168, 73, 64, 8, "Radio IC Versions:"},
    {ControlKind::Edit, Info::IDC_RADIO_IC_VERSIONS, 236, 68, 80, 14, "", kInfoField},
    {ControlKind::Text, IDC_STATIC, 168, 92, 64, 8, "Regional Identifier:"},
    {ControlKind::Edit, Info::IDC_REGIONAL_ID, 236, 88, 80, 14, "", kInfoField},
    {ControlKind::Text, IDC_STATIC, 8, 112, 64, 8, "UUID:"},
    {ControlKind::Edit, Info::IDC_UUID, 76, 108, 240, 14, "", kInfoField},
    {ControlKind::DefPushButton, kIdOk, 140, 132, 50, 14, "OK", CS_TABSTOP},
};

using Esn = ProgramEsnIds;
const ControlTemplate kProgramEsn[] = {
    {ControlKind::Text, IDC_STATIC, 8, 8, 168, 24,
     "Enter the ESN to be programmed into the Radio.\n"
     "Press the \"Program\" button to program it into the Radio."},
    {ControlKind::Text, IDC_STATIC, 8, 44, 32, 8, "ESN:"},
    {ControlKind::Edit, Esn::IDC_ESN_FIELD1, 44, 40, 20, 14, "", CS_TABSTOP},
    {ControlKind::Text, IDC_STATIC, 68, 44, 8, 8, "/"},
    {ControlKind::Edit, Esn::IDC_ESN_FIELD2, 76, 40, 20, 14, "", CS_TABSTOP},
    {ControlKind::Text, IDC_STATIC, 100, 44, 8, 8, "/"},
    {ControlKind::Edit, Esn::IDC_ESN_FIELD3, 108, 40, 40, 14, "", CS_TABSTOP},
    {ControlKind::DefPushButton, kIdOk, 188, 4, 50, 14, "Program", CS_TABSTOP},
    {ControlKind::PushButton, kIdCancel, 188, 24, 50, 14, "Abort", CS_TABSTOP},
};

const ControlTemplate kProgramRegionalId[] = {
    {ControlKind::Text, IDC_STATIC, 8, 8, 188, 24,
     "Select the Regional ID to be programmed into the Radio.\n"
     "Press the \"Program\" button to program it into the Radio."},
    {ControlKind::Text, IDC_STATIC, 8, 44, 48, 8, "Regional ID:"},
    {ControlKind::DropDownList, ProgramRegionalIdIds::IDC_REGIONAL_ID, 60, 40, 100, 72, "",
     CS_TABSTOP},
    {ControlKind::DefPushButton, kIdOk, 208, 4, 50, 14, "Program", CS_TABSTOP},
    {ControlKind::PushButton, kIdCancel, 208, 24, 50, 14, "Abort", CS_TABSTOP},
};

using Devices = SerialDevicesIds;
// The rows top down, then OK and Cancel left to right: the tab order reads as the layout does.
const ControlTemplate kSerialDevices[] = {
    {ControlKind::Text, IDC_STATIC, 8, 8, 256, 16,
     "Choose the device for each port, or type its path. A port left at its default uses the "
     "built-in serial port of its number.",
     CS_WORDWRAP},
    {ControlKind::Text, IDC_STATIC, 8, 34, 28, 8, "COM1:"},
    {ControlKind::DropDownEdit, Devices::IDC_COM1_DEVICE, 40, 32, 224, 80, "", CS_TABSTOP},
    {ControlKind::Text, IDC_STATIC, 8, 52, 28, 8, "COM2:"},
    {ControlKind::DropDownEdit, Devices::IDC_COM2_DEVICE, 40, 50, 224, 80, "", CS_TABSTOP},
    {ControlKind::Text, IDC_STATIC, 8, 70, 28, 8, "COM3:"},
    {ControlKind::DropDownEdit, Devices::IDC_COM3_DEVICE, 40, 68, 224, 80, "", CS_TABSTOP},
    {ControlKind::Text, IDC_STATIC, 8, 88, 28, 8, "COM4:"},
    {ControlKind::DropDownEdit, Devices::IDC_COM4_DEVICE, 40, 86, 224, 80, "", CS_TABSTOP},
    {ControlKind::DefPushButton, kIdOk, 160, 108, 50, 14, "OK", CS_TABSTOP},
    {ControlKind::PushButton, kIdCancel, 214, 108, 50, 14, "Cancel", CS_TABSTOP},
};

using Registry = EsnRegistryIds;
// The location across the whole width, as a path or a server URI is long, with the default under
// it and its test at the right; what the registry holds under that; the outcome of the last
// reading above OK and Cancel. The lists are tab stops so that a long one can be scrolled from
// the keyboard, and wide enough for an entry's line in full.
const ControlTemplate kEsnRegistry[] = {
    {ControlKind::Text, IDC_STATIC, 8, 8, 120, 8, "Location:"},
    {ControlKind::Edit, Registry::IDC_REGISTRY_LOCATION, 8, 18, 344, 14, "", CS_TABSTOP},
    {ControlKind::Text, Registry::IDC_REGISTRY_DEFAULT, 8, 36, 290, 16, "", CS_WORDWRAP},
    {ControlKind::PushButton, Registry::IDC_REGISTRY_TEST, 302, 36, 50, 14, "Test", CS_TABSTOP},
    {ControlKind::Text, IDC_STATIC, 8, 58, 120, 8, "Pools:"},
    {ControlKind::List, Registry::IDC_REGISTRY_POOLS, 8, 68, 344, 44, "", CS_TABSTOP},
    {ControlKind::Text, IDC_STATIC, 8, 118, 120, 8, "Latest entries:"},
    {ControlKind::List, Registry::IDC_REGISTRY_ENTRIES, 8, 128, 344, 84, "", CS_TABSTOP},
    {ControlKind::Text, Registry::IDC_REGISTRY_STATUS, 8, 216, 344, 24, "", CS_WORDWRAP},
    {ControlKind::DefPushButton, kIdOk, 248, 244, 50, 14, "OK", CS_TABSTOP},
    {ControlKind::PushButton, kIdCancel, 302, 244, 50, 14, "Cancel", CS_TABSTOP},
};

using Line = ProductionLineIds;
const ControlTemplate kProductionLine[] = {
    {ControlKind::Text, IDC_STATIC, 8, 10, 54, 8, "ESN source:"},
    {ControlKind::DropDownList, Line::IDC_ESN_SOURCE, 64, 8, 248, 80, "", CS_TABSTOP},
    {ControlKind::Text, IDC_STATIC, 8, 28, 54, 8, "Port:"},
    {ControlKind::DropDownList, Line::IDC_PORT, 64, 26, 60, 80, "", CS_TABSTOP},
    {ControlKind::Text, IDC_STATIC, 134, 28, 32, 8, "Station:"},
    {ControlKind::Edit, Line::IDC_STATION_NAME, 168, 26, 144, 12, "", CS_TABSTOP},
    {ControlKind::Text, IDC_STATIC, 8, 46, 54, 8, "Typed ESN:"},
    {ControlKind::Edit, Line::IDC_TYPED_ESN, 64, 44, 100, 12, "", CS_TABSTOP},
    {ControlKind::Text, Line::IDC_PROMPT, 8, 62, 304, 8, ""},
    {ControlKind::Text, Line::IDC_RESULT, 8, 74, 304, 36, ""},
    {ControlKind::Text, Line::IDC_RESULT_DETAIL, 8, 112, 304, 36, "", CS_WORDWRAP},
    {ControlKind::Text, Line::IDC_COUNTS, 8, 152, 304, 8, ""},
    {ControlKind::Table, Line::IDC_SHIFT, 8, 164, 304, 62, "", CS_TABSTOP},
    {ControlKind::PushButton, Line::IDC_EXPORT, 8, 232, 70, 14, "&Export Shift...", CS_TABSTOP},
    {ControlKind::DefPushButton, kIdOk, 198, 232, 54, 14, "&Program", CS_TABSTOP},
    {ControlKind::PushButton, kIdCancel, 258, 232, 54, 14, "Close", CS_TABSTOP},
};

}  // namespace

const DialogTemplate& AboutBoxTemplate() {
    static const DialogTemplate t = {AboutBoxIds::IDD, "About Varnel", 228, 44, kAboutBox};
    return t;
}

const DialogTemplate& ConfigurationTemplate() {
    static const DialogTemplate t = {ConfigurationIds::IDD, "Configuration", 200, 64,
                                     kConfiguration};
    return t;
}

const DialogTemplate& RadioInfoTemplate() {
    static const DialogTemplate t = {RadioInfoIds::IDD, "Radio Info", 328, 153, kRadioInfo};
    return t;
}

const DialogTemplate& ProgramEsnTemplate() {
    static const DialogTemplate t = {ProgramEsnIds::IDD, "Program ESN", 244, 65, kProgramEsn};
    return t;
}

const DialogTemplate& ProgramRegionalIdTemplate() {
    static const DialogTemplate t = {ProgramRegionalIdIds::IDD, "Program Regional ID", 264, 66,
                                     kProgramRegionalId};
    return t;
}

const DialogTemplate& SerialDevicesTemplate() {
    static const DialogTemplate t = {SerialDevicesIds::IDD, "Serial Devices", 272, 128,
                                     kSerialDevices};
    return t;
}

const DialogTemplate& EsnRegistryTemplate() {
    static const DialogTemplate t = {EsnRegistryIds::IDD, "ESN Registry", 360, 264, kEsnRegistry};
    return t;
}

const DialogTemplate& ProductionLineTemplate() {
    static const DialogTemplate t = {ProductionLineIds::IDD, "Varnel - Production Line", 320, 254,
                                     kProductionLine};
    return t;
}

}  // namespace varnel
