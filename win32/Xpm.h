#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace varnel::win32 {

// A picture decoded from the XPM drawings the application's icons and toolbar images are kept
// in, so that every front end shows the same pixels.
struct Pixmap {
    int width = 0;
    int height = 0;
    // Row by row from the top, 0xAARRGGBB; a transparent pixel ("None") is 0.
    std::vector<std::uint32_t> pixels;

    std::uint32_t At(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

// Decodes the lines of an XPM drawing (the strings of its C array). Only what the drawings use is
// understood: colour keys "c #RRGGBB" and "c None". Anything else (a short row, an unknown
// colour, a size out of reason) gives nothing rather than a picture with holes in it.
std::optional<Pixmap> DecodeXpm(std::span<const char* const> lines);

}  // namespace varnel::win32
