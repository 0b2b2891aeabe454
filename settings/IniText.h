#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/SettingsStore.h"

namespace varnel {

// Settings text in the INI form that QSettings reads and writes, handled here line by line so
// that a write changes only the lines of the keys it sets: comments, order and spelling of
// everything else stay as the user left them.

// Why the text cannot be read as it stands, in words for the user ("line 3 opens a quote ...");
// empty when it can. Besides what QSettings itself reports as a format error (a group without
// its "]", a line that is neither a group, a setting nor a comment), a quote that runs past the
// end of its line, a line that ends in a backslash, and a byte order mark are damage: QSettings
// reads the lines after the first two as part of one value without complaint, and takes the
// mark for part of a key.
std::string IniTextDamage(std::string_view text);

// The value of group/key as QSettings would give it as text (quotes and escapes undone, "@@"
// for a leading "@"); none when the key is missing or holds no text: a list ("1, 2"), or a typed
// value other than @String(...) and @ByteArray(...). Of several lines of one key, the last
// counts. group is empty for the top level.
std::optional<std::string> IniTextValue(std::string_view text, std::string_view group,
                                        std::string_view key);

// The text with the changes made: the value of a key that is there is replaced where it stands,
// a new key goes at the end of its group (a group that is missing is added at the end), a
// removed key loses its line; every other byte stays. text must be sound.
std::string EditIniText(std::string_view text, const std::vector<SettingChange>& changes);

}  // namespace varnel
