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

    // A Kai brush face for the banner where one is installed, else the program's own font.
    static QFont bannerFont();

private:
    Services m_services;
    std::unique_ptr<Ui::AboutWindow> m_ui;
};

} // namespace vellumar
