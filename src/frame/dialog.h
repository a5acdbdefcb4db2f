#pragma once

#include "frame/frame.h"

#include <QDialog>

namespace vellumar {

// A small dialog of the program: Enter presses its default button, Esc and the close box
// close it like every other window of the frame (destroyed, nothing changed).
class Dialog : public QDialog, public WindowHandlers {
    Q_OBJECT

public:
    explicit Dialog(QWidget* parent = nullptr);

    void done(int result) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_closing = false;
};

} // namespace vellumar
