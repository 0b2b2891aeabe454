// Settings kept in memory as INI text: the same reading and editing as the settings file, with
// nothing that can fail on the way to a disk.
#include "settings/IniText.h"
#include "settings/SettingsStore.h"

namespace varnel {
namespace {

class TextSettings final : public SettingsStore {
public:
    explicit TextSettings(std::string text) : m_text(std::move(text)) {}

    std::string Damage() override { return IniTextDamage(m_text); }

    std::optional<std::string> ReadText(std::string_view group, std::string_view key) override {
        if (!Damage().empty()) {
            return std::nullopt;
        }
        return IniTextValue(m_text, group, key);
    }

    std::string Write(const std::vector<SettingChange>& changes) override {
        if (std::string why = Damage(); !why.empty()) {
            return "the settings cannot be read as they stand: " + why;
        }
        m_text = EditIniText(m_text, changes);
        return {};
    }

    std::string Location() const override { return "(settings in memory)"; }

private:
    std::string m_text;
};

}  // namespace

std::unique_ptr<SettingsStore> OpenSettingsText(std::string text) {
    return std::make_unique<TextSettings>(std::move(text));
}

}  // namespace varnel
