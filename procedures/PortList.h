#pragma once

#include <string>
#include <vector>

#include "link/PortNames.h"

namespace varnel {

inline constexpr int kFirstPortNumber = 1;  // COM1
inline constexpr int kLastPortNumber = 4;   // COM4

struct PortEntry {
    int index = 0;       // 0 for COM1 to 3 for COM4
    std::string name;    // "COM1"
    std::string device;  // what the name resolves to; empty when it stands for no device
    PortPresence presence = PortPresence::Missing;
};

// How a device stands; the real one is ProbePort, tests hand in their own.
using PortProbe = std::function<PortPresence(const std::string& device)>;

// COM1 to COM4 in order, each with its device and how it stands. A user is offered the ports
// that are not missing: one held by another program or refused to this user is still offered,
// since it may be freed before the next exchange, which then says plainly why it cannot open it.
std::vector<PortEntry> ListPorts(const PortResolver& resolver, const PortProbe& probe = ProbePort);

}  // namespace varnel
