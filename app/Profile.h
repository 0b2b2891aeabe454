#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <optional>
#include <string>
#include <vector>

namespace varnel {

// The one setting the program keeps: the serial port index, 0 for COM1 to 3 for COM4, in
// QSettings("Tessaran", "Varnel"), group "Options", integer "SerialPort". The group "Ports" maps a
// port name such as COM1 to the device to open (e.g. /dev/ttyUSB0).
//
// A settings file that cannot be read as it stands is never written: the program runs on the
// defaults and leaves the file byte for byte as it was, so that what the user wrote there can
// still be put right by hand. Writes change only the lines of the keys they set, so comments,
// order and spelling of everything else stay as the user left them.

// The index a stored value stands for: missing or unreadable gives 0, the value is taken as a
// signed 32-bit number (so 4294967295 is -1), and anything above 3 gives 0. A negative value stays.
int SerialPortFromSetting(const QVariant& stored);

// The stored index, or 0 when there is none or the file cannot be trusted; damage, when given,
// receives why not (empty when the file is sound or missing).
int LoadSerialPortSetting(QString* damage = nullptr);
// Returns why nothing was written (empty on success). The caller decides whether to say so: at
// exit there is nothing the user could do about a full disk.
QString SaveSerialPortSetting(int serialPort);

// The device the settings map a port name to, or empty when they map none or cannot be trusted.
std::string PortDeviceFromSettings(const std::string& portName);

// The file QSettings("Tessaran", "Varnel") keeps, $XDG_CONFIG_HOME/Tessaran/Varnel.conf.
QString SettingsFilePath();

// Why settings text cannot be read as it stands, in words for the user ("line 3 opens a quote
// ..."); empty when it can. Besides what QSettings itself reports as a format error, a quote
// that runs past the end of its line, or a line that ends in a backslash, is damage: QSettings
// reads the lines after it as part of one value without complaint, and a write would keep that.
QString SettingsDamage(const QByteArray& contents);
// The same for the settings file as it is now; a file that does not exist is sound, one that
// cannot be read is not.
QString SettingsFileDamage();
// One line for standard error: which file, why, and that it is left alone.
QString DescribeSettingsDamage(const QString& damage);

// One key set (value) or removed (no value) in a group such as "Ports".
struct SettingChange {
    QString group;
    QString key;
    std::optional<QString> value;
};

// The settings text with the changes made: the value of a key that is there is replaced where it
// stands, a new key goes at the end of its group (a group that is missing is added at the end),
// a removed key loses its line; every other byte stays. contents must be sound.
QByteArray EditSettingsText(const QByteArray& contents, const std::vector<SettingChange>& changes);

// Makes the changes in the settings file, all of them or none. Returns why nothing was written
// (the file is damaged, cannot be read or cannot be written), or empty on success.
QString WriteSettings(const std::vector<SettingChange>& changes);

}  // namespace varnel
