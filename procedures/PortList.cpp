#include "procedures/PortList.h"

namespace varnel {

std::vector<PortEntry> ListPorts(const PortResolver& resolver, const PortProbe& probe) {
    std::vector<PortEntry> ports;
    for (int number = kFirstPortNumber; number <= kLastPortNumber; ++number) {
        PortEntry entry;
        entry.index = number - 1;
        entry.name = PortNameFromIndex(entry.index);
        entry.device = ResolvePortDevice(entry.name, resolver);
        entry.presence = probe(entry.device);
        ports.push_back(std::move(entry));
    }
    return ports;
}

}  // namespace varnel
