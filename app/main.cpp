#include <cstdio>
#include <cstring>

#include "app/VarnelApp.h"

namespace {

// Answered before Qt starts: a package check, a script or a user on a text console must get them
// without a display, and Qt aborts when it finds none.
bool AnswerInformationRequest(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("varnel %s\n", VARNEL_VERSION);
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf(
                "Usage: varnel [--help | --version]\n"
                "\n"
                "Reads a two-way radio's identity and programs the ESN of a blank radio over a\n"
                "serial port (COM1 to COM4). Without options it opens the main window.\n"
                "\n"
                "Options:\n"
                "  --help      show this text and exit\n"
                "  --version   show the version and exit\n"
                "\n"
                "The chosen port is kept in ~/.config/Tessaran/Varnel.conf (under\n"
                "$XDG_CONFIG_HOME when that is set); the group [Ports] maps COMn to a device,\n"
                "otherwise COMn is /dev/ttyS<n-1>. See varnel(1) and varnel-cli(1).\n");
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (AnswerInformationRequest(argc, argv)) {
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    varnel::CVarnelApp theApp;
    return theApp.Run(argc, argv);
}
