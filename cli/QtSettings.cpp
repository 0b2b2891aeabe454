// The application's settings through Qt Core, where the app itself keeps them:
// QSettings("Tessaran", "Varnel"), group Options key SerialPort, group Ports key COMn.
#include <QSettings>
#include <QString>

#include "cli/Settings.h"
#include "link/PortNames.h"

namespace varnel::cli {
namespace {

class QtSettings final : public ISettings {
public:
    int SerialPortIndex() override {
        QSettings settings("Tessaran", "Varnel");
        if (settings.status() != QSettings::NoError) {
            return 0;
        }
        const QVariant stored = settings.value("Options/SerialPort");
        // A value that is no text at all (a list, a serialised object) gives an empty text: 0.
        return stored.isValid() ? SerialPortIndexFromText(stored.toString().toStdString()) : 0;
    }

    std::string PortDevice(const std::string& portName) override {
        QSettings settings("Tessaran", "Varnel");
        if (settings.status() != QSettings::NoError || portName.empty()) {
            return {};
        }
        const QString key = QStringLiteral("Ports/") + QString::fromStdString(portName);
        return settings.value(key).toString().trimmed().toStdString();
    }
};

}  // namespace

std::unique_ptr<ISettings> OpenApplicationSettings() {
    return std::make_unique<QtSettings>();
}

}  // namespace varnel::cli
