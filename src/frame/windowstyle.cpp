#include "frame/windowstyle.h"

#include <QWidget>

namespace vellumar {

void applyFrameKind(QWidget* window, FrameKind kind) {
    Qt::WindowFlags flags = Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    switch (kind) {
    case FrameKind::FixedWithMinimize:
        flags |= Qt::Window | Qt::WindowMinimizeButtonHint;
        break;
    case FrameKind::Resizable:
        flags |= Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;
        break;
    case FrameKind::Dialog:
        flags |= Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint;
        break;
    }
    window->setWindowFlags(flags);
    if (kind != FrameKind::Resizable)
        window->setFixedSize(window->size());
}

} // namespace vellumar
