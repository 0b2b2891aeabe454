#include "cli/Settings.h"

namespace varnel::cli {
namespace {

class StoreSettings final : public ISettings {
public:
    explicit StoreSettings(std::unique_ptr<SettingsStore> store) : m_store(std::move(store)) {}

    int SerialPortIndex() override { return LoadSerialPortSetting(*m_store); }
    std::string PortDevice(const std::string& portName) override {
        return PortDeviceSetting(*m_store, portName);
    }
    std::string RegistryLocation() override { return RegistryLocationSetting(*m_store); }
    std::string Damage() override { return m_store->Damage(); }
    std::string Location() const override { return m_store->Location(); }

private:
    std::unique_ptr<SettingsStore> m_store;
};

}  // namespace

std::unique_ptr<ISettings> SettingsFromStore(std::unique_ptr<SettingsStore> store) {
    return std::make_unique<StoreSettings>(std::move(store));
}

std::unique_ptr<ISettings> OpenApplicationSettings() {
    return SettingsFromStore(OpenUserSettings());
}

}  // namespace varnel::cli
