#include "procedures/SerialPortOpener.h"

#include <utility>

#include "link/SerialPort.h"
#if defined(__linux__) || defined(_WIN32)
#include "link/PortDiagnosis.h"
#endif

namespace varnel {
namespace {

std::string DescribeOpenFailure(const std::string& device, int error) {
#if defined(__linux__) || defined(_WIN32)
    return DescribePortFailure(device, error);
#else
    (void)device;
    (void)error;
    return {};
#endif
}

}  // namespace

PortOpener SerialPortOpener(PortResolver resolver) {
    return
        [resolver = std::move(resolver)](const std::string& portName, const CancelToken* cancel) {
            PortOpenResult result;
            const std::string device = ResolvePortDevice(portName, resolver);
            auto port = std::make_unique<CSerialPort>();
            port->SetCancelToken(cancel);
            if (port->Open(device)) {
                result.port = std::move(port);
            } else {
                // A device that opened but could not be set up is closed again by the
                // destructor; the user learns why the port is of no use.
                result.detail =
                    DescribeOpenFailure(device.empty() ? portName : device, port->LastError());
            }
            return result;
        };
}

}  // namespace varnel
