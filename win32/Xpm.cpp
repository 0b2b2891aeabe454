#include "win32/Xpm.h"

#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <string_view>

namespace varnel::win32 {
namespace {

constexpr int kLargestSide = 256;

std::optional<std::uint32_t> ParseColour(std::string_view keys) {
    // "c #RRGGBB" or "c None", possibly with other keys (m, s, g) around it, of which "c" wins.
    std::istringstream words{std::string(keys)};
    std::string key;
    std::string value;
    while (words >> key >> value) {
        if (key != "c") {
            continue;
        }
        if (value == "None" || value == "none") {
            return 0u;
        }
        if (value.size() != 7 || value[0] != '#') {
            return std::nullopt;
        }
        std::uint32_t rgb = 0;
        for (std::size_t i = 1; i < value.size(); ++i) {
            const char c = value[i];
            std::uint32_t digit = 0;
            if (c >= '0' && c <= '9') {
                digit = static_cast<std::uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                digit = static_cast<std::uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                digit = static_cast<std::uint32_t>(c - 'A' + 10);
            } else {
                return std::nullopt;
            }
            rgb = rgb * 16 + digit;
        }
        return 0xFF000000u | rgb;
    }
    return std::nullopt;
}

}  // namespace

std::optional<Pixmap> DecodeXpm(std::span<const char* const> lines) {
    if (lines.empty() || lines[0] == nullptr) {
        return std::nullopt;
    }
    std::istringstream header(lines[0]);
    int width = 0;
    int height = 0;
    int colours = 0;
    int charsPerPixel = 0;
    if (!(header >> width >> height >> colours >> charsPerPixel) || width <= 0 || height <= 0 ||
        width > kLargestSide || height > kLargestSide || colours <= 0 || charsPerPixel <= 0 ||
        charsPerPixel > 2 || lines.size() != static_cast<std::size_t>(1 + colours + height)) {
        return std::nullopt;
    }
    const auto cpp = static_cast<std::size_t>(charsPerPixel);
    std::map<std::string, std::uint32_t, std::less<>> palette;
    for (int i = 0; i < colours; ++i) {
        const char* line = lines[static_cast<std::size_t>(1 + i)];
        if (line == nullptr || std::strlen(line) < cpp) {
            return std::nullopt;
        }
        const std::optional<std::uint32_t> colour = ParseColour(std::string_view(line).substr(cpp));
        if (!colour) {
            return std::nullopt;
        }
        palette[std::string(line, cpp)] = *colour;
    }
    Pixmap pixmap;
    pixmap.width = width;
    pixmap.height = height;
    pixmap.pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        const char* line = lines[static_cast<std::size_t>(1 + colours + y)];
        if (line == nullptr || std::strlen(line) != cpp * static_cast<std::size_t>(width)) {
            return std::nullopt;
        }
        for (int x = 0; x < width; ++x) {
            const auto found =
                palette.find(std::string_view(line + cpp * static_cast<std::size_t>(x), cpp));
            if (found == palette.end()) {
                return std::nullopt;
            }
            pixmap.pixels.push_back(found->second);
        }
    }
    return pixmap;
}

}  // namespace varnel::win32
