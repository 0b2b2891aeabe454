#include "usecases/RegistryLocation.h"

#include "registry/EsnRegistry.h"

namespace varnel {

std::string RegistryLocationInForce(const std::string& named) {
    auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    std::size_t first = 0;
    std::size_t last = named.size();
    while (first < last && blank(named[first])) {
        ++first;
    }
    while (last > first && blank(named[last - 1])) {
        --last;
    }
    return first == last ? DefaultRegistryLocation() : named.substr(first, last - first);
}

}  // namespace varnel
