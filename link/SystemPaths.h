#pragma once

#include <string>

namespace varnel {

// Where the kernel's views of the machine are mounted. Device discovery and the port checks
// read only below these roots, so that tests can hand in a tree of their own making.
struct SystemPaths {
    std::string sys = "/sys";
    std::string dev = "/dev";
    std::string proc = "/proc";
};

}  // namespace varnel
