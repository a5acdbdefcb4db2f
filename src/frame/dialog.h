#pragma once

#include "frame/frame.h"

#include <QDialog>

namespace vellumar {

// A small dialog of the program: Enter presses its default button, Esc and the close box
// close it like every other window of the frame (destroyed, nothing changed).
//
// However it closes (accept, reject, Esc, the close box or a handler closing it), it says so
// once, as every QDialog does: finished with its result, and accepted or rejected.
class Dialog : public QDialog, public WindowHandlers {
    Q_OBJECT

public:
    explicit Dialog(QWidget* parent = nullptr);

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_closing = false;
    bool m_finished = false;
};

} // namespace vellumar
