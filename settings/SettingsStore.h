#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// Where the application keeps what it remembers between runs, and the names it keeps them under.
// On Linux an INI text file that QSettings("Tessaran", "Varnel") also reads; on Windows the
// current user's registry key Software\Tessaran\Varnel. Every front end reads and writes through
// this one store, so that they can never take one stored value for two different things.
inline constexpr char kSettingsOrganisation[] = "Tessaran";
inline constexpr char kSettingsApplication[] = "Varnel";
inline constexpr char kOptionsGroup[] = "Options";
inline constexpr char kSerialPortKey[] = "SerialPort";
inline constexpr char kPortsGroup[] = "Ports";
// Where the ESN registry lives: an SQLite file path or a PostgreSQL URI.
inline constexpr char kRegistryGroup[] = "Registry";
inline constexpr char kRegistryLocationKey[] = "Location";
// What the production station was last set up with: the pool its ESNs come from (empty: typed
// one by one) and the station's name.
inline constexpr char kStationGroup[] = "Station";
inline constexpr char kStationPoolKey[] = "Pool";
inline constexpr char kStationNameKey[] = "Name";

// One key set (value) or removed (no value) in a group such as "Ports". An integer is kept as the
// store's own number type where it has one (a registry DWORD), as decimal text elsewhere.
struct SettingChange {
    enum class Kind { Text, Integer };
    std::string group;
    std::string key;
    std::optional<std::string> value;
    Kind kind = Kind::Text;
};

class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // Why the store cannot be trusted as it stands, in words for the user ("line 3 opens a
    // quote ..."); empty when it is sound or there is nothing stored yet. A damaged store is
    // never written, and nothing is read from it: what the user wrote there can still be put
    // right by hand.
    virtual std::string Damage() = 0;

    // A value as text: a number as its decimal text, a text as it stands. None when the key is
    // missing, holds something that is no text (a list, a serialised object, binary data), or
    // the store is damaged.
    virtual std::optional<std::string> ReadText(std::string_view group, std::string_view key) = 0;

    // Makes all of the changes or none; returns why nothing was written, empty on success.
    virtual std::string Write(const std::vector<SettingChange>& changes) = 0;

    // The file or key the store lives in, as the user would look for it.
    virtual std::string Location() const = 0;
};

// The current user's settings of the application on this system.
std::unique_ptr<SettingsStore> OpenUserSettings();

// Settings held in memory as INI text, for tools and tests that must not touch the user's.
std::unique_ptr<SettingsStore> OpenSettingsText(std::string text);

// The port index the settings hold: 0 (COM1) when there is none or the store cannot be trusted;
// the value taken as a signed 32-bit number, anything above 3 gives 0, a negative value stays.
int LoadSerialPortSetting(SettingsStore& store);
// Returns why nothing was written, empty on success.
std::string SaveSerialPortSetting(SettingsStore& store, int serialPort);

// The device the settings map a port name ("COM1") to, or empty when they map none or cannot be
// trusted. Blanks around it are not part of it.
std::string PortDeviceSetting(SettingsStore& store, const std::string& portName);

// The ESN registry location the settings name, blanks around it removed; empty when they name
// none or cannot be trusted (the embedded default is then used).
std::string RegistryLocationSetting(SettingsStore& store);

// The change that keeps location as the settings' registry location; an empty one removes it, so
// that the embedded default is used.
SettingChange RegistryLocationChange(const std::string& location);
// Writes that change alone. Returns why nothing was written, empty on success.
std::string SaveRegistryLocationSetting(SettingsStore& store, const std::string& location);

// One line for standard error: which store (its Location()), why, and that the program runs on
// its defaults and leaves the store alone. program is the name the line starts with ("varnel").
std::string DescribeSettingsDamage(std::string_view program, std::string_view location,
                                   std::string_view damage);

}  // namespace varnel
