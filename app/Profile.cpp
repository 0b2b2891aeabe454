#include "app/Profile.h"

#include <QSettings>

#include <cstdint>

namespace varnel {
namespace {

const char kOrganisation[] = "Tessaran";
const char kApplication[] = "Varnel";
const char kSerialPortKey[] = "Options/SerialPort";

}  // namespace

int SerialPortFromSetting(const QVariant& stored) {
    if (!stored.isValid()) {
        return 0;
    }
    bool ok = false;
    const qlonglong value = stored.toString().trimmed().toLongLong(&ok);
    if (!ok || value < INT32_MIN || value > static_cast<qlonglong>(UINT32_MAX)) {
        return 0;
    }
    // The value is a 32-bit number however it was written: 4294967295 and -1 are the same bits.
    const auto index = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    return index > 3 ? 0 : index;
}

int LoadSerialPortSetting() {
    QSettings settings(kOrganisation, kApplication);
    if (settings.status() != QSettings::NoError) {
        return 0;
    }
    return SerialPortFromSetting(settings.value(kSerialPortKey));
}

void SaveSerialPortSetting(int serialPort) {
    QSettings settings(kOrganisation, kApplication);
    settings.setValue(kSerialPortKey, serialPort);
    settings.sync();
}

std::string PortDeviceFromSettings(const std::string& portName) {
    // Read at every call, so a mapping edited while the program runs is used at the next exchange.
    QSettings settings(kOrganisation, kApplication);
    if (settings.status() != QSettings::NoError || portName.empty()) {
        return {};
    }
    const QString key = QStringLiteral("Ports/") + QString::fromStdString(portName);
    return settings.value(key).toString().trimmed().toStdString();
}

}  // namespace varnel
