#pragma once

// A made-up /sys, /dev and /proc in a temporary folder, laid out the way the kernel lays out
// the real ones, with relative links so that they resolve inside the folder.
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "link/SystemPaths.h"

namespace varnel::test {

class FakeSystemTree {
public:
    FakeSystemTree() {
        std::string pattern = (std::filesystem::temp_directory_path() / "varnel-sys-XXXXXX");
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_root = pattern;
        }
        for (const char* dir : {"sys/class/tty", "sys/dev/char", "sys/class/mem", "dev", "proc"}) {
            std::filesystem::create_directories(m_root / dir);
        }
        WriteFile("proc/locks", "");
    }
    ~FakeSystemTree() {
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    FakeSystemTree(const FakeSystemTree&) = delete;
    FakeSystemTree& operator=(const FakeSystemTree&) = delete;

    const std::filesystem::path& Root() const { return m_root; }
    SystemPaths Paths() const {
        return {(m_root / "sys").string(), (m_root / "dev").string(), (m_root / "proc").string()};
    }
    std::string Dev(const std::string& name) const { return (m_root / "dev" / name).string(); }

    void WriteFile(const std::string& rel, const std::string& content) {
        std::filesystem::create_directories((m_root / rel).parent_path());
        std::ofstream(m_root / rel, std::ios::binary | std::ios::trunc) << content;
    }
    // A link at rel that leads to target (both relative to the root), written relative.
    void Link(const std::string& rel, const std::string& target) {
        const std::filesystem::path link = m_root / rel;
        std::filesystem::create_directories(link.parent_path());
        std::filesystem::create_symlink(std::filesystem::path(target).lexically_relative(
                                            std::filesystem::path(rel).parent_path()),
                                        link);
    }
    // A link at rel that leads to an absolute path outside the tree.
    void LinkOutside(const std::string& rel, const std::string& absoluteTarget) {
        std::filesystem::create_directories((m_root / rel).parent_path());
        std::filesystem::create_symlink(absoluteTarget, m_root / rel);
    }

    // A terminal's class directory at devicesRel/tty/name, listed under /sys/class/tty, with
    // a "device" link to devicesRel unless that is empty (a virtual terminal).
    std::string AddTty(const std::string& name, const std::string& deviceRel,
                       const std::string& classParentRel) {
        const std::string classDir = classParentRel + "/tty/" + name;
        WriteFile(classDir + "/uevent", "MAJOR=4\nMINOR=64\nDEVNAME=" + name + "\n");
        WriteFile(classDir + "/dev", "4:64\n");
        Link(classDir + "/subsystem", "sys/class/tty");
        if (!deviceRel.empty()) {
            Link(classDir + "/device", deviceRel);
        }
        Link("sys/class/tty/" + name, classDir);
        WriteFile("dev/" + name, "");
        return classDir;
    }

    // A port of the serial core (ttyS, ttyAMA, ...) with the given UART type; 0 is unknown.
    std::string AddSerialCorePort(const std::string& name, const std::string& type) {
        const std::string port = "sys/devices/platform/serial8250/serial8250:0/" + name;
        WriteFile(port + "/uevent", "DRIVER=port\n");
        const std::string classDir = AddTty(name, port, port);
        WriteFile(classDir + "/type", type);
        return classDir;
    }

    std::string AddVirtualTty(const std::string& name) {
        return AddTty(name, "", "sys/devices/virtual");
    }

    struct Usb {
        std::string vendor = "0403", product = "6001";
        std::string manufacturer{}, productName{}, serial{};
        bool acm = false;  // the terminal sits on the interface itself, not on a port below it
    };
    // A USB adapter on its own bus port; with byId, a /dev/serial/by-id link that leads to it.
    std::string AddUsbSerial(const std::string& name, const Usb& usb,
                             const std::string& byId = {}) {
        const std::string device =
            "sys/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(++m_usbPorts);
        WriteFile(device + "/idVendor", usb.vendor + "\n");
        WriteFile(device + "/idProduct", usb.product + "\n");
        if (!usb.manufacturer.empty())
            WriteFile(device + "/manufacturer", usb.manufacturer + "\n");
        if (!usb.productName.empty())
            WriteFile(device + "/product", usb.productName + "\n");
        if (!usb.serial.empty())
            WriteFile(device + "/serial", usb.serial + "\n");
        const std::string interface = device + "/" + device.substr(device.rfind('/') + 1) + ":1.0";
        WriteFile(interface + "/bInterfaceNumber", "00\n");
        const std::string port = usb.acm ? interface : interface + "/" + name;
        WriteFile(port + "/uevent", "DRIVER=ftdi_sio\n");
        const std::string classDir = AddTty(name, port, port);
        if (!byId.empty()) {
            Link("dev/serial/by-id/" + byId, "dev/" + name);
        }
        return classDir;
    }

    // /sys/dev/char/major:minor, the way the kernel finds a device by its numbers.
    void AddCharNumbers(unsigned major, unsigned minor, const std::string& classDir) {
        Link("sys/dev/char/" + std::to_string(major) + ":" + std::to_string(minor), classDir);
    }

    // A process in the fake /proc: its name, and optionally an open file leading to target.
    void AddProcess(long pid, const std::string& comm, const std::string& openFile = {}) {
        const std::string dir = "proc/" + std::to_string(pid);
        WriteFile(dir + "/comm", comm + "\n");
        std::filesystem::create_directories(m_root / dir / "fd");
        if (!openFile.empty()) {
            LinkOutside(dir + "/fd/3", openFile);
        }
    }

private:
    std::filesystem::path m_root;
    int m_usbPorts = 0;
};

}  // namespace varnel::test
