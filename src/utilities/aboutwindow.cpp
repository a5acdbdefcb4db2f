#include "utilities/aboutwindow.h"

#include "frame/windowstyle.h"
#include "ui_aboutwindow.h"

#include <QApplication>
#include <QFontDatabase>

namespace vellumar {

AboutWindow::AboutWindow(Services services, QWidget* parent)
    : Dialog(parent), m_services(services), m_ui(std::make_unique<Ui::AboutWindow>()) {
    m_ui->setupUi(this);
    applyFrameKind(this, FrameKind::Dialog);
    m_ui->标签1->setFont(bannerFont());
    m_ui->按钮1->setFocus();
    connect(m_ui->按钮1, &QPushButton::clicked, this, [this] { m_services.frame.close(this); });
}

AboutWindow::~AboutWindow() = default;

QFont AboutWindow::bannerFont() {
    QFont font = QApplication::font();
    const QStringList installed = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    for (const QString& kai : {QStringLiteral("AR PL UKai CN"), QStringLiteral("KaiTi"),
                               QStringLiteral("楷体"), QStringLiteral("AR PL UKai TW")}) {
        if (installed.contains(kai)) {
            font.setFamilies({kai});
            break;
        }
    }
    font.setPixelSize(29);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace vellumar
