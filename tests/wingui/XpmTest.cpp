// The drawings varnel.exe decodes for its icon and toolbar, and drawings it must refuse.
#include <gtest/gtest.h>

#include <vector>

#include "win32/Images.h"
#include "win32/Xpm.h"

namespace varnel::win32 {
namespace {

TEST(Xpm, TheShippedDrawingsDecodeAtTheirSizes) {
    struct Case {
        Picture picture;
        int width, height;
    };
    const Case cases[] = {{Picture::AppIcon16, 16, 16},
                          {Picture::AppIcon32, 32, 32},
                          {Picture::ToolbarAbout, 16, 15},
                          {Picture::ToolbarContextHelp, 16, 15}};
    for (const Case& c : cases) {
        const auto pixmap = LoadPicture(c.picture);
        ASSERT_TRUE(pixmap.has_value());
        EXPECT_EQ(pixmap->width, c.width);
        EXPECT_EQ(pixmap->height, c.height);
        EXPECT_EQ(pixmap->pixels.size(), static_cast<std::size_t>(c.width * c.height));
    }
}

TEST(Xpm, ColoursAndTransparency) {
    const auto icon = LoadPicture(Picture::AppIcon32);
    ASSERT_TRUE(icon.has_value());
    EXPECT_EQ(icon->At(0, 0), 0xFF0000FFu);   // the blue band at the top
    EXPECT_EQ(icon->At(0, 8), 0xFF000000u);   // black under it
    EXPECT_EQ(icon->At(2, 10), 0xFFFF0000u);  // the red E
    EXPECT_EQ(icon->At(0, 31), 0xFF008000u);  // the green band at the bottom
    const auto about = LoadPicture(Picture::ToolbarAbout);
    ASSERT_TRUE(about.has_value());
    EXPECT_EQ(about->At(0, 0), 0u);           // "None": see-through
    EXPECT_EQ(about->At(5, 1), 0xFF000000u);  // the outline
    EXPECT_EQ(about->At(5, 2), 0xFFFFFF00u);  // the yellow question mark
}

TEST(Xpm, MalformedDrawingsGiveNothing) {
    const std::vector<std::vector<const char*>> drawings = {
        {},
        {"x y 1 1", "a c #000000", "a"},
        {"2 1 1 1", "a c #000000", "a"},       // a short row
        {"1 1 1 1", "a c #00000", "a"},        // a colour of five digits
        {"1 1 1 1", "a c red", "a"},           // a named colour
        {"1 1 1 1", "a c #00000G", "a"},       // not hex
        {"1 1 1 1", "a c #000000", "b"},       // a pixel of no colour
        {"1 2 1 1", "a c #000000", "a"},       // a row missing
        {"1 1 1 1", "a c #000000", "a", "a"},  // a row too many
        {"1 1 1 3", "abc c #000000", "abc"},   // three characters a pixel
        {"9999 1 1 1", "a c #000000", "a"},    // out of reason
        {"1 1 1 1", nullptr, "a"},
    };
    for (const auto& drawing : drawings) {
        EXPECT_FALSE(DecodeXpm(drawing).has_value())
            << (drawing.empty() || drawing[0] == nullptr ? "(empty)" : drawing[0]);
    }
}

TEST(Xpm, TwoCharactersAPixel) {
    const std::vector<const char*> drawing = {"2 1 2 2", "aa c #102030", "bb c None", "aabb"};
    const auto pixmap = DecodeXpm(drawing);
    ASSERT_TRUE(pixmap.has_value());
    EXPECT_EQ(pixmap->At(0, 0), 0xFF102030u);
    EXPECT_EQ(pixmap->At(1, 0), 0u);
}

TEST(Images, IconsAndToolbarImagesAreMade) {
    HICON icon = CreateAppIcon(32);
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(icon, &info));
    BITMAP bitmap{};
    ::GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
    EXPECT_EQ(bitmap.bmWidth, 32);
    EXPECT_EQ(bitmap.bmHeight, 32);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    ::DestroyIcon(icon);

    HIMAGELIST images = CreateToolbarImages();
    ASSERT_NE(images, nullptr);
    EXPECT_EQ(::ImageList_GetImageCount(images), 2);
    int width = 0;
    int height = 0;
    ::ImageList_GetIconSize(images, &width, &height);
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 15);
    ::ImageList_Destroy(images);
}

}  // namespace
}  // namespace varnel::win32
