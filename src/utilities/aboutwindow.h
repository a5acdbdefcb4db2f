#pragma once

#include "frame/dialog.h"
#include "frame/services.h"

#include <QFont>

#include <memory>

namespace Ui {
class AboutWindow;
}

namespace vellumar {

// The product's name, version, date of making and maker, with a notice against copying.
class AboutWindow final : public Dialog {
    Q_OBJECT

public:
    explicit AboutWindow(Services services, QWidget* parent = nullptr);
    ~AboutWindow() override;

private:
    Services m_services;
    std::unique_ptr<Ui::AboutWindow> m_ui;
};

} // namespace vellumar
