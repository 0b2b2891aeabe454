#include "procedures/SerialPortOpener.h"

#include <utility>

#include "link/SerialPort.h"

namespace varnel {

PortOpener SerialPortOpener(PortResolver resolver) {
    return
        [resolver = std::move(resolver)](const std::string& portName, const CancelToken* cancel) {
            PortOpenResult result;
            const std::string device = ResolvePortDevice(portName, resolver);
            auto port = std::make_unique<CSerialPort>();
            port->SetCancelToken(cancel);
            if (port->Open(device)) {
                result.port = std::move(port);
            }
            // A device that opened but could not be set up is closed again by the destructor.
            return result;
        };
}

}  // namespace varnel
