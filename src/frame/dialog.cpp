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

void Dialog::showEvent(QShowEvent* event) {
    m_finished = false;
    QDialog::showEvent(event);
}

void Dialog::closeEvent(QCloseEvent* event) {
    // QDialog would turn the close into reject() and hide without closing; a dialog of the
    // program closes for good. A close that did not come through done() is a rejection, as
    // the close box is for every dialog.
    event->accept();
    if (!m_closing)
        setResult(Rejected);
    if (m_finished)
        return;
    m_finished = true;
    const int outcome = result();
    if (outcome == Accepted)
        Q_EMIT accepted();
    else if (outcome == Rejected)
        Q_EMIT rejected();
    Q_EMIT finished(outcome);
}

} // namespace vellumar
