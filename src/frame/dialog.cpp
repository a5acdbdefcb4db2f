#include "frame/dialog.h"

#include <QCloseEvent>

namespace vellumar {

Dialog::Dialog(QWidget* parent) : QDialog(parent) {}

void Dialog::done(int result) {
    setResult(result);
    // Esc comes here through reject(); it closes the window the way the close box does.
    if (!m_closing) {
        m_closing = true;
        close();
        m_closing = false;
    }
}

void Dialog::closeEvent(QCloseEvent* event) {
    // QDialog would turn the close into reject() and hide without closing; a dialog of the
    // program closes for good.
    event->accept();
}

} // namespace vellumar
