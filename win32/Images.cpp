#include "win32/Images.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

namespace varnel::win32 {
namespace {

// The drawings are C arrays of strings; they are included here, each one defining its array.
#include "artwork/toolbar-about.xpm"
#include "artwork/toolbar-context-help.xpm"
#include "artwork/varnel-16.xpm"
#include "artwork/varnel-32.xpm"

constexpr int kToolbarImageWidth = 16;
constexpr int kToolbarImageHeight = 15;

// A top-down 32-bit colour bitmap of the pixels; transparent pixels are black, as a masked
// drawing needs them.
HBITMAP CreateColourBitmap(int width, int height, const std::vector<std::uint32_t>& pixels) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) {
        if (bitmap != nullptr) {
            ::DeleteObject(bitmap);
        }
        return nullptr;
    }
    auto* out = static_cast<std::uint32_t*>(bits);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        out[i] = (pixels[i] >> 24) != 0 ? pixels[i] : 0;
    }
    return bitmap;
}

// A monochrome mask: 1 where a pixel is transparent. Rows are padded to 16 bits.
HBITMAP CreateMaskBitmap(int width, int height, const std::vector<std::uint32_t>& pixels) {
    const int stride = ((width + 15) / 16) * 2;
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(stride) * height, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if ((pixels[static_cast<std::size_t>(y) * width + x] >> 24) == 0) {
                bits[static_cast<std::size_t>(y) * stride + x / 8] |=
                    static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
    }
    return ::CreateBitmap(width, height, 1, 1, bits.data());
}

}  // namespace

std::optional<Pixmap> LoadPicture(Picture picture) {
    switch (picture) {
        case Picture::AppIcon16:
            return DecodeXpm(varnel_16);
        case Picture::AppIcon32:
            return DecodeXpm(varnel_32);
        case Picture::ToolbarAbout:
            return DecodeXpm(toolbar_about);
        case Picture::ToolbarContextHelp:
            return DecodeXpm(toolbar_context_help);
    }
    return std::nullopt;
}

HICON CreateIconFromPixmap(const Pixmap& pixmap) {
    HBITMAP colour = CreateColourBitmap(pixmap.width, pixmap.height, pixmap.pixels);
    HBITMAP mask = CreateMaskBitmap(pixmap.width, pixmap.height, pixmap.pixels);
    HICON icon = nullptr;
    if (colour != nullptr && mask != nullptr) {
        ICONINFO info{};
        info.fIcon = TRUE;
        info.hbmMask = mask;
        info.hbmColor = colour;
        icon = ::CreateIconIndirect(&info);
    }
    if (colour != nullptr) {
        ::DeleteObject(colour);
    }
    if (mask != nullptr) {
        ::DeleteObject(mask);
    }
    return icon;
}

HICON CreateAppIcon(int size) {
    const std::optional<Pixmap> pixmap =
        LoadPicture(size <= 16 ? Picture::AppIcon16 : Picture::AppIcon32);
    return pixmap ? CreateIconFromPixmap(*pixmap) : nullptr;
}

Pixmap Embossed(const Pixmap& pixmap) {
    constexpr std::uint32_t kHighlight = 0xFFFFFFFFu;
    constexpr std::uint32_t kShadow = 0xFF808080u;
    Pixmap out = pixmap;
    std::fill(out.pixels.begin(), out.pixels.end(), 0u);
    auto at = [&out](int x, int y) -> std::uint32_t& {
        return out.pixels[static_cast<std::size_t>(y) * out.width + x];
    };
    for (int y = 0; y < pixmap.height; ++y) {
        for (int x = 0; x < pixmap.width; ++x) {
            if ((pixmap.At(x, y) >> 24) != 0 && x + 1 < pixmap.width && y + 1 < pixmap.height) {
                at(x + 1, y + 1) = kHighlight;
            }
        }
    }
    for (int y = 0; y < pixmap.height; ++y) {
        for (int x = 0; x < pixmap.width; ++x) {
            if ((pixmap.At(x, y) >> 24) != 0) {
                at(x, y) = kShadow;
            }
        }
    }
    return out;
}

HIMAGELIST CreateToolbarImages(bool disabled) {
    const Picture pictures[] = {Picture::ToolbarAbout, Picture::ToolbarContextHelp};
    // Side by side in one strip, as a toolbar bitmap is laid out.
    const int count = static_cast<int>(std::size(pictures));
    const int width = kToolbarImageWidth * count;
    std::vector<std::uint32_t> strip(static_cast<std::size_t>(width) * kToolbarImageHeight, 0);
    for (int i = 0; i < count; ++i) {
        std::optional<Pixmap> pixmap = LoadPicture(pictures[i]);
        if (pixmap && disabled) {
            pixmap = Embossed(*pixmap);
        }
        if (!pixmap || pixmap->width != kToolbarImageWidth ||
            pixmap->height != kToolbarImageHeight) {
            return nullptr;
        }
        for (int y = 0; y < kToolbarImageHeight; ++y) {
            for (int x = 0; x < kToolbarImageWidth; ++x) {
                strip[static_cast<std::size_t>(y) * width + i * kToolbarImageWidth + x] =
                    pixmap->At(x, y);
            }
        }
    }
    HIMAGELIST images = ::ImageList_Create(kToolbarImageWidth, kToolbarImageHeight,
                                           ILC_COLOR32 | ILC_MASK, count, 0);
    if (images == nullptr) {
        return nullptr;
    }
    HBITMAP colour = CreateColourBitmap(width, kToolbarImageHeight, strip);
    HBITMAP mask = CreateMaskBitmap(width, kToolbarImageHeight, strip);
    const bool added = colour != nullptr && mask != nullptr &&
                       ::ImageList_Add(images, colour, mask) == 0 &&
                       ::ImageList_GetImageCount(images) == count;
    if (colour != nullptr) {
        ::DeleteObject(colour);
    }
    if (mask != nullptr) {
        ::DeleteObject(mask);
    }
    if (!added) {
        ::ImageList_Destroy(images);
        return nullptr;
    }
    return images;
}

}  // namespace varnel::win32
