#include "settings/SettingsStore.h"

#include "link/PortNames.h"

namespace varnel {

int LoadSerialPortSetting(SettingsStore& store) {
    const std::optional<std::string> stored = store.ReadText(kOptionsGroup, kSerialPortKey);
    return stored ? SerialPortIndexFromText(*stored) : 0;
}

std::string SaveSerialPortSetting(SettingsStore& store, int serialPort) {
    return store.Write({{kOptionsGroup, kSerialPortKey, std::to_string(serialPort),
                         SettingChange::Kind::Integer}});
}

std::string RegistryLocationSetting(SettingsStore& store) {
    std::string location =
        store.ReadText(kRegistryGroup, kRegistryLocationKey).value_or(std::string());
    auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (!location.empty() && blank(location.back())) {
        location.pop_back();
    }
    std::size_t first = 0;
    while (first < location.size() && blank(location[first])) {
        ++first;
    }
    return location.substr(first);
}

SettingChange RegistryLocationChange(const std::string& location) {
    SettingChange change{kRegistryGroup, kRegistryLocationKey, std::nullopt};
    if (!location.empty()) {
        change.value = location;
    }
    return change;
}

std::string SaveRegistryLocationSetting(SettingsStore& store, const std::string& location) {
    return store.Write({RegistryLocationChange(location)});
}

std::string PortDeviceSetting(SettingsStore& store, const std::string& portName) {
    if (portName.empty()) {
        return {};
    }
    std::string device = store.ReadText(kPortsGroup, portName).value_or(std::string());
    auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (!device.empty() && blank(device.back())) {
        device.pop_back();
    }
    std::size_t first = 0;
    while (first < device.size() && blank(device[first])) {
        ++first;
    }
    return device.substr(first);
}

std::string DescribeSettingsDamage(std::string_view program, std::string_view location,
                                   std::string_view damage) {
    std::string line(program);
    line += ": the settings file ";
    line += location;
    line += " cannot be read as it stands: ";
    line += damage;
    line +=
        ". Varnel runs on its default settings and leaves the file as it is; correct or "
        "remove it to keep settings again.";
    return line;
}

}  // namespace varnel
