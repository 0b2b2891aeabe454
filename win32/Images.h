#pragma once

#include "win32/Win32Api.h"

#include <optional>

#include "win32/Xpm.h"

namespace varnel::win32 {

// The application's pictures, decoded from the same XPM drawings the Qt application compiles in.
enum class Picture { AppIcon16, AppIcon32, ToolbarAbout, ToolbarContextHelp };

std::optional<Pixmap> LoadPicture(Picture picture);

// An icon of the picture, with its transparent pixels masked out; null when it cannot be made.
// The caller destroys it (DestroyIcon).
HICON CreateIconFromPixmap(const Pixmap& pixmap);

// The application icon, 16 or 32 pixels; null when it cannot be made.
HICON CreateAppIcon(int size);

// The toolbar's images, About first, then context help, 16 by 15 pixels each; null when they
// cannot be made. The caller destroys it (ImageList_Destroy). The disabled ones are the same
// drawings embossed in grey, as the system draws a disabled button.
HIMAGELIST CreateToolbarImages(bool disabled = false);

// A drawing as a disabled button shows it: every opaque pixel grey, with a white highlight one
// pixel down and to the right.
Pixmap Embossed(const Pixmap& pixmap);

}  // namespace varnel::win32
