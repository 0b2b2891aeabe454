// varnel-icon-file: writes the Windows icon file of varnel.exe (and of its installer entry) from
// the application's pixel drawings, the same ones the Linux build installs. Runs on the build
// machine: the file is made at build time and never kept in the repository.
//
//   varnel-icon-file OUTPUT.ico SMALL.xpm LARGE.xpm
//
// The 16-pixel image is the small drawing as it is; 32, 48 and 256 pixels are the large drawing
// enlarged without smoothing, as for the Linux icons: each drawing pixel becomes a block of whole
// pixels (of one and two pixels in turn at 48), so the letters stay sharp. Every image is a
// 32-bit bitmap with its transparency mask, which Windows reads at every size from Vista on.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "win32/Xpm.h"

namespace {

using varnel::win32::Pixmap;

// The string literals of an XPM file, in order: the lines of its drawing. Comments are skipped.
std::optional<std::vector<std::string>> XpmLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "/*") == 0) {
            const std::size_t end = text.find("*/", i + 2);
            if (end == std::string::npos) {
                return std::nullopt;
            }
            i = end + 1;
        } else if (text[i] == '"') {
            const std::size_t end = text.find('"', i + 1);
            if (end == std::string::npos) {
                return std::nullopt;
            }
            lines.push_back(text.substr(i + 1, end - i - 1));
            i = end;
        }
    }
    return lines;
}

std::optional<Pixmap> ReadDrawing(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "varnel-icon-file: cannot read %s\n", path);
        return std::nullopt;
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto lines = XpmLines(text);
    std::vector<const char*> pointers;
    if (lines) {
        for (const std::string& line : *lines) {
            pointers.push_back(line.c_str());
        }
    }
    auto drawing = lines ? varnel::win32::DecodeXpm(pointers) : std::nullopt;
    if (!drawing || drawing->width != drawing->height) {
        std::fprintf(stderr, "varnel-icon-file: %s is not a square XPM drawing\n", path);
        return std::nullopt;
    }
    return drawing;
}

// Every output pixel takes the drawing's pixel under its centre.
Pixmap Enlarge(const Pixmap& drawing, int size) {
    Pixmap result{size, size, std::vector<std::uint32_t>(static_cast<std::size_t>(size) * size)};
    for (int y = 0; y < size; ++y) {
        const int sy = (2 * y + 1) * drawing.height / (2 * size);
        for (int x = 0; x < size; ++x) {
            const int sx = (2 * x + 1) * drawing.width / (2 * size);
            result.pixels[static_cast<std::size_t>(y) * size + x] = drawing.At(sx, sy);
        }
    }
    return result;
}

void Put16(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// One image as the icon file holds it: a bitmap header of twice the height (colour and mask),
// the colour rows from the bottom as B, G, R, A, then the mask rows (1 = transparent), each row
// padded to four bytes.
std::string IconImage(const Pixmap& image) {
    std::string out;
    const int maskRowBytes = ((image.width + 31) / 32) * 4;
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(image.width));
    Put32(out, static_cast<std::uint32_t>(image.height * 2));
    Put16(out, 1);   // planes
    Put16(out, 32);  // bits per pixel
    Put32(out, 0);   // no compression
    Put32(out,
          static_cast<std::uint32_t>(image.width * image.height * 4 + maskRowBytes * image.height));
    for (int i = 0; i < 4; ++i) {
        Put32(out, 0);  // resolution and palette: unused
    }
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            Put32(out, image.At(x, y));  // 0xAARRGGBB, little-endian: B, G, R, A
        }
    }
    for (int y = image.height - 1; y >= 0; --y) {
        std::string row(static_cast<std::size_t>(maskRowBytes), '\0');
        for (int x = 0; x < image.width; ++x) {
            if ((image.At(x, y) >> 24) == 0) {
                row[static_cast<std::size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
            }
        }
        out += row;
    }
    return out;
}

std::string IconFile(const std::vector<Pixmap>& images) {
    std::string header;
    Put16(header, 0);  // reserved
    Put16(header, 1);  // an icon, not a cursor
    Put16(header, static_cast<unsigned>(images.size()));
    std::string data;
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (const Pixmap& image : images) {
        const std::string bytes = IconImage(image);
        // A side of 256 is written as 0.
        header += static_cast<char>(image.width & 0xFF);
        header += static_cast<char>(image.height & 0xFF);
        header += '\0';  // no palette
        header += '\0';  // reserved
        Put16(header, 1);
        Put16(header, 32);
        Put32(header, static_cast<std::uint32_t>(bytes.size()));
        Put32(header, offset);
        offset += static_cast<std::uint32_t>(bytes.size());
        data += bytes;
    }
    return header + data;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: varnel-icon-file OUTPUT.ico SMALL.xpm LARGE.xpm\n");
        return 2;
    }
    const auto small = ReadDrawing(argv[2]);
    const auto large = ReadDrawing(argv[3]);
    if (!small || !large) {
        return 1;
    }
    if (small->width != 16 || large->width != 32) {
        std::fprintf(stderr, "varnel-icon-file: the drawings are %d and %d pixels, not 16 and 32\n",
                     small->width, large->width);
        return 1;
    }
    const std::string bytes =
        IconFile({*small, Enlarge(*large, 32), Enlarge(*large, 48), Enlarge(*large, 256)});
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "varnel-icon-file: cannot write %s\n", argv[1]);
        std::remove(argv[1]);
        return 1;
    }
    return 0;
}
