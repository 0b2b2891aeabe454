#include "ui/Resources.h"

#include <QPixmap>

#include "strings/StringTable.h"

namespace varnel {

QIcon AppIcon() {
    QIcon icon;
    for (const char* path : {":/varnel-16.xpm", ":/varnel-32.xpm"}) {
        QPixmap pixmap(QString::fromLatin1(path));
        if (!pixmap.isNull()) {
            icon.addPixmap(pixmap);
        }
    }
    return icon;
}

QIcon ToolbarIcon(int commandId) {
    const char* path = nullptr;
    switch (commandId) {
        case ID_APP_ABOUT:
            path = ":/toolbar-about.xpm";
            break;
        case ID_CONTEXT_HELP:
            path = ":/toolbar-context-help.xpm";
            break;
        default:
            return {};
    }
    QPixmap pixmap(QString::fromLatin1(path));
    return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

}  // namespace varnel
