#pragma once

class QWidget;

namespace vellumar {

// The kinds of window frame the program uses.
enum class FrameKind {
    FixedWithMinimize, // sign-in and user list: fixed size, minimize box
    Resizable,         // the ledger: resizable, minimize and maximize boxes
    Dialog,            // small dialogs: fixed size, close box only
};

// Sets the frame's buttons and, for fixed frames, pins the window to its designed size.
void applyFrameKind(QWidget* window, FrameKind kind);

} // namespace vellumar
