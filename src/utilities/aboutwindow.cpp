#include "utilities/aboutwindow.h"

#include "frame/bannerfont.h"
#include "frame/windowstyle.h"
#include "ui_aboutwindow.h"

namespace vellumar {

AboutWindow::AboutWindow(Services services, QWidget* parent)
    : Dialog(parent), m_services(services), m_ui(std::make_unique<Ui::AboutWindow>()) {
    m_ui->setupUi(this);
    applyFrameKind(this, FrameKind::Dialog);
    m_ui->标签1->setFont(bannerFont(font(), 29));
    m_ui->按钮1->setFocus();
    connect(m_ui->按钮1, &QPushButton::clicked, this, [this] { m_services.frame.close(this); });
}

AboutWindow::~AboutWindow() = default;

} // namespace vellumar
