// A build without a settings store of its own: COM1, and every port at its default device.
// --port still reaches any port.
#include "cli/Settings.h"

namespace varnel::cli {
namespace {

class NoSettings final : public ISettings {
public:
    int SerialPortIndex() override { return 0; }
    std::string PortDevice(const std::string&) override { return {}; }
};

}  // namespace

std::unique_ptr<ISettings> OpenApplicationSettings() {
    return std::make_unique<NoSettings>();
}

}  // namespace varnel::cli
