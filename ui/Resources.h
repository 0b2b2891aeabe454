#pragma once

#include <QIcon>

namespace varnel {

// The application icon in all its sizes; null if the compiled-in images are missing.
QIcon AppIcon();
// The toolbar image of a command (57664 About, 57669 context help); null for any other.
QIcon ToolbarIcon(int commandId);

}  // namespace varnel
