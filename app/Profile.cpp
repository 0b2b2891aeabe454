#include "app/Profile.h"

#include <QSettings>

#include "link/PortNames.h"

namespace varnel {
namespace {

const char kOrganisation[] = "Tessaran";
const char kApplication[] = "Varnel";
const char kSerialPortKey[] = "Options/SerialPort";

}  // namespace

int SerialPortFromSetting(const QVariant& stored) {
    // A value that is no text at all (a list, a serialised object) gives an empty text: 0.
    return stored.isValid() ? SerialPortIndexFromText(stored.toString().toStdString()) : 0;
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
