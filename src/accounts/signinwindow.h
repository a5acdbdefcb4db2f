#pragma once

#include "frame/frame.h"
#include "frame/services.h"

#include <QPixmap>
#include <QWidget>

#include <memory>

namespace Ui {
class SignInWindow;
}

namespace vellumar {

// The first window: asks for the administrator password and, when it is right, opens the
// user list, which then closes this window.
class SignInWindow final : public QWidget, public WindowHandlers {
    Q_OBJECT

public:
    explicit SignInWindow(Services services, QWidget* parent = nullptr);
    ~SignInWindow() override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void signIn();

    Services m_services;
    std::unique_ptr<Ui::SignInWindow> m_ui;
    QPixmap m_background;
};

} // namespace vellumar
