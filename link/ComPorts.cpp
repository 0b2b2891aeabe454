#include "link/ComPorts.h"

#include <algorithm>
#include <map>

#include "link/PortNames.h"

namespace varnel {
namespace {

// Text as one line for people: control characters become spaces, blanks at the ends go.
std::string OneLine(const std::string& text) {
    std::string line;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        line += byte < 0x20 || byte == 0x7F ? ' ' : c;
    }
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return line.substr(first, line.find_last_not_of(' ') - first + 1);
}

}  // namespace

int ComPortNumber(const std::string& portName) {
    const std::string name = NormalPortName(OneLine(portName));
    if (name.size() <= 3 || name.compare(0, 3, "COM") != 0 || name.size() > 6 ||
        name.find_first_not_of("0123456789", 3) != std::string::npos) {
        return 0;
    }
    // Windows numbers COM ports from 1 to 256.
    const int number = std::stoi(name.substr(3));
    return number >= 1 && number <= 256 ? number : 0;
}

std::vector<SerialDevice> ComPortDevices(const std::vector<ComPortRecord>& deviceTree,
                                         const std::vector<ComPortRecord>& serialComm) {
    std::map<int, SerialDevice> byNumber;
    auto add = [&byNumber](const ComPortRecord& record) {
        const int number = ComPortNumber(record.portName);
        if (number == 0 || byNumber.count(number) != 0) {
            return;
        }
        SerialDevice d;
        d.name = "COM" + std::to_string(number);
        d.path = d.name;
        d.kernelPath = "\\\\.\\" + d.name;  // what COM10 and above need, COM1 as well
        std::string friendly = OneLine(record.friendlyName);
        if (friendly.empty()) {
            friendly = "Serial port";
        }
        // Device Manager puts the COM name after the device's name; a name without it is given
        // one, so that every line says which port it is.
        if (friendly.find("(" + d.name + ")") == std::string::npos) {
            friendly += " (" + d.name + ")";
        }
        d.description = friendly;
        byNumber.emplace(number, std::move(d));
    };
    for (const ComPortRecord& record : deviceTree) {
        add(record);
    }
    for (const ComPortRecord& record : serialComm) {
        add(record);
    }
    std::vector<SerialDevice> devices;
    for (auto& [number, device] : byNumber) {
        devices.push_back(std::move(device));
    }
    return devices;
}

}  // namespace varnel
