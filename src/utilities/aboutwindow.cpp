#include "utilities/aboutwindow.h"

#include "frame/bannerfont.h"
#include "frame/windowstyle.h"
#include "ui_aboutwindow.h"

#include <QLabel>

#include <algorithm>

namespace vellumar {

namespace {

// The four lines under the banner read as one evenly spaced column. Two of their captions end
// with a line break, which would push their text up if it were centred in the label, so each
// label's first line is placed on the column's grid instead; the designed geometry stays.
void alignAsColumn(const QList<QLabel*>& labels) {
    if (labels.isEmpty())
        return;
    const int line = labels.first()->fontMetrics().height();
    const int first = labels.first()->y() + labels.first()->height() / 2;
    const int step = (labels.last()->y() + line / 2 + 4 - first) / int(labels.size() - 1);
    for (qsizetype n = 0; n < labels.size(); ++n) {
        QLabel* label = labels[n];
        const int centre = first + int(n) * step;
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setContentsMargins(0, std::max(0, centre - line / 2 - label->y()), 0, 0);
    }
}

} // namespace

AboutWindow::AboutWindow(Services services, QWidget* parent)
    : Dialog(parent), m_services(services), m_ui(std::make_unique<Ui::AboutWindow>()) {
    m_ui->setupUi(this);
    applyFrameKind(this, FrameKind::Dialog);
    m_ui->标签1->setFont(bannerFont(font(), 29));
    // The banner is a band across the whole window, however wide the frame makes it.
    m_ui->标签1->setGeometry(0, 0, width(), m_ui->标签1->height());
    alignAsColumn({m_ui->标签2, m_ui->标签3, m_ui->标签5, m_ui->标签4});
    m_ui->按钮1->setFocus();
    connect(m_ui->按钮1, &QPushButton::clicked, this, [this] { m_services.frame.close(this); });
}

AboutWindow::~AboutWindow() = default;

} // namespace vellumar
