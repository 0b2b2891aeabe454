#include "link/SerialDevices.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <optional>
#include <string_view>
#include <system_error>

#include "link/SysFiles.h"

namespace varnel {
namespace fs = std::filesystem;
namespace {

// A sysfs attribute as one clean line; empty when absent.
std::string Attribute(const fs::path& dir, const char* name) {
    auto text = ReadSmallFile((dir / name).string());
    return text ? PrintableText(*text) : std::string();
}

// "16550A UART" for a type the serial core knows by name.
std::string UartName(int type) {
    static const char* const kNames[] = {"",       "8250",  "16450",   "16550", "16550A",
                                         "Cirrus", "16650", "16650V2", "16750", "Startech",
                                         "16C950", "16654", "16850",   "RSA",   "NS16550A"};
    if (type > 0 && type < static_cast<int>(std::size(kNames))) {
        return std::string(kNames[type]) + " UART";
    }
    return "UART type " + std::to_string(type);
}

// The node under /dev: the uevent names it; the directory name is the fallback, with the '!'
// that sysfs writes for a '/' in a device name turned back.
std::string DeviceNodeName(const fs::path& classDir, const std::string& entry) {
    std::string name;
    if (auto uevent = ReadSmallFile((classDir / "uevent").string())) {
        std::string_view rest(*uevent);
        while (!rest.empty()) {
            const std::size_t end = rest.find('\n');
            std::string_view line = rest.substr(0, end);
            if (line.rfind("DEVNAME=", 0) == 0) {
                name = std::string(line.substr(8));
                break;
            }
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        }
    }
    if (name.empty()) {
        name = entry;
        std::replace(name.begin(), name.end(), '!', '/');
    }
    // A name that climbs out of /dev, or is not plain text, is not one to offer.
    if (name.front() == '/' || name.find("..") != std::string::npos ||
        std::any_of(name.begin(), name.end(),
                    [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == 0x7F; })) {
        return {};
    }
    return name;
}

// The USB device a terminal hangs under: the nearest ancestor that carries idVendor. A USB
// serial port sits two levels down (device, interface, port), an ACM one a level less.
fs::path UsbDeviceDir(const fs::path& deviceDir, const fs::path& sysRoot) {
    fs::path dir = deviceDir;
    for (int depth = 0; depth < 8; ++depth) {
        std::error_code ec;
        if (fs::exists(dir / "idVendor", ec) && fs::exists(dir / "idProduct", ec)) {
            return dir;
        }
        const fs::path parent = dir.parent_path();
        if (parent == dir || parent == sysRoot ||
            parent.native().size() <= sysRoot.native().size()) {
            break;
        }
        dir = parent;
    }
    return {};
}

bool ContainsIgnoringCase(const std::string& haystack, const std::string& needle) {
    auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return s;
    };
    return lower(haystack).find(lower(needle)) != std::string::npos;
}

std::string UsbDescription(const SerialDevice& d) {
    std::string text;
    if (!d.product.empty() && !d.manufacturer.empty() &&
        !ContainsIgnoringCase(d.product, d.manufacturer)) {
        text = d.manufacturer + " " + d.product;
    } else if (!d.product.empty()) {
        text = d.product;
    } else if (!d.manufacturer.empty()) {
        text = d.manufacturer + " USB serial adapter";
    } else {
        text = "USB serial adapter " + d.vendorId + ":" + d.productId;
    }
    if (!d.serialNumber.empty()) {
        text += " (serial " + d.serialNumber + ")";
    }
    return text;
}

// Every link in /dev/serial/by-id, by the node it leads to. Where several lead to one node
// (rare), the first in name order is kept so that the choice does not change between runs.
std::map<fs::path, fs::path> StableNames(const SystemPaths& paths) {
    std::map<fs::path, fs::path> byTarget;
    std::error_code ec;
    const fs::path dir = fs::path(paths.dev) / "serial" / "by-id";
    fs::directory_iterator it(dir, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code linkEc;
        if (!it->is_symlink(linkEc)) {
            continue;
        }
        const fs::path target = fs::weakly_canonical(it->path(), linkEc);
        if (linkEc) {
            continue;
        }
        auto [slot, added] = byTarget.emplace(target, it->path());
        if (!added && it->path().filename() < slot->second.filename()) {
            slot->second = it->path();
        }
    }
    return byTarget;
}

// Orders ttyS2 before ttyS10: runs of digits compare by value.
bool NaturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (da && db) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei])))
                ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej])))
                ++ej;
            std::string_view na(a.data() + i, ei - i), nb(b.data() + j, ej - j);
            while (na.size() > 1 && na.front() == '0')
                na.remove_prefix(1);
            while (nb.size() > 1 && nb.front() == '0')
                nb.remove_prefix(1);
            if (na.size() != nb.size()) {
                return na.size() < nb.size();
            }
            if (na != nb) {
                return na < nb;
            }
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j]) {
            return a[i] < b[j];
        }
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j)) {
        return (a.size() - i) < (b.size() - j);
    }
    return a < b;  // equal by value ("ttyS01" and "ttyS1"): plain order keeps it total
}

}  // namespace

std::vector<SerialDevice> ListSerialDevices(const SystemPaths& paths) {
    std::vector<SerialDevice> devices;
    std::error_code ec;
    const fs::path sysRoot = fs::weakly_canonical(paths.sys, ec);
    const fs::path classRoot = fs::path(paths.sys) / "class" / "tty";
    const auto stableNames = StableNames(paths);

    fs::directory_iterator it(classRoot, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path classDir = it->path();
        const std::string entry = classDir.filename().string();
        std::error_code entryEc;
        // Virtual terminals, consoles and pseudo-terminals have no device behind them.
        const fs::path deviceDir = fs::canonical(classDir / "device", entryEc);
        if (entryEc || !fs::is_directory(deviceDir, entryEc)) {
            continue;
        }
        // The serial core registers a port for every line the platform reserves; one whose
        // UART type is unknown has no chip behind it, and opening it only gives I/O errors.
        const std::optional<int> uartType = SerialCoreUartType(classDir.string());
        if (uartType == 0) {
            continue;
        }
        SerialDevice d;
        d.name = DeviceNodeName(classDir, entry);
        if (d.name.empty()) {
            continue;
        }
        d.kernelPath = (fs::path(paths.dev) / d.name).string();
        d.path = d.kernelPath;
        const fs::path node = fs::weakly_canonical(d.kernelPath, entryEc);
        if (!entryEc) {
            if (auto stable = stableNames.find(node); stable != stableNames.end()) {
                d.path = stable->second.string();
            }
        }

        const fs::path usb = UsbDeviceDir(deviceDir, sysRoot);
        if (!usb.empty()) {
            d.vendorId = Attribute(usb, "idVendor");
            d.productId = Attribute(usb, "idProduct");
            d.manufacturer = Attribute(usb, "manufacturer");
            d.product = Attribute(usb, "product");
            d.serialNumber = Attribute(usb, "serial");
            d.description = UsbDescription(d);
        } else if (uartType) {
            d.description = "Serial port (" + UartName(*uartType) + ")";
        } else {
            const fs::path driver = fs::canonical(deviceDir / "driver", entryEc);
            d.description = entryEc ? std::string("Serial device")
                                    : "Serial device (driver " +
                                          PrintableText(driver.filename().string()) + ")";
        }
        devices.push_back(std::move(d));
    }
    std::sort(devices.begin(), devices.end(), [](const SerialDevice& a, const SerialDevice& b) {
        return NaturalLess(a.name, b.name);
    });
    return devices;
}

std::string SerialDeviceLabel(const SerialDevice& device) {
    return device.description.empty() ? device.kernelPath
                                      : device.kernelPath + " - " + device.description;
}

}  // namespace varnel
