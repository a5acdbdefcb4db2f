#include "ledger/sidepicture.h"

#include <QLinearGradient>
#include <QPainter>

namespace vellumar {

namespace {

QColor averageOfRow(const QImage& image, int y, int fromX, int toX) {
    qint64 red = 0, green = 0, blue = 0;
    const int count = std::max(1, toX - fromX);
    for (int x = fromX; x < toX; ++x) {
        const QRgb pixel = image.pixel(x, y);
        red += qRed(pixel);
        green += qGreen(pixel);
        blue += qBlue(pixel);
    }
    return QColor(int(red / count), int(green / count), int(blue / count));
}

} // namespace

SidePicture::SidePicture(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

void SidePicture::setPicture(const QImage& picture) {
    m_picture = picture.convertToFormat(QImage::Format_RGB32);
    if (!m_picture.isNull()) {
        const int edgeWidth = std::max(1, m_picture.width() / 40);
        const int bottom = m_picture.height() - 1;
        m_background = averageOfRow(m_picture, bottom, 0, m_picture.width() - edgeWidth);
        m_edge = averageOfRow(m_picture, m_picture.height() / 2, m_picture.width() - edgeWidth,
                              m_picture.width());
    }
    m_rendered = QPixmap();
    update();
}

QPixmap SidePicture::render() const {
    const qreal ratio = devicePixelRatioF();
    QImage canvas(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(ratio);
    canvas.fill(m_background.isValid() ? m_background : palette().color(QPalette::Window));
    if (m_picture.isNull() || width() == 0)
        return QPixmap::fromImage(canvas);

    QImage picture = m_picture.scaledToWidth(int(width() * ratio), Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(ratio);
    const qreal pictureHeight = picture.height() / ratio;
    const qreal fade = std::min<qreal>(pictureHeight / 6, 72);
    if (height() > pictureHeight) {
        QPainter foot(&picture);
        foot.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        QLinearGradient gradient(0, pictureHeight - fade, 0, pictureHeight);
        gradient.setColorAt(0, Qt::black);
        gradient.setColorAt(1, Qt::transparent);
        foot.fillRect(QRectF(0, pictureHeight - fade, width(), fade), gradient);
    }
    QPainter painter(&canvas);
    painter.drawImage(QPointF(0, 0), picture);
    if (height() > pictureHeight) {
        // The line down the right side goes on where the picture ends.
        const qreal edgeWidth = qreal(width()) / 40;
        painter.fillRect(QRectF(width() - edgeWidth, pictureHeight - fade, edgeWidth,
                                height() - pictureHeight + fade),
                         m_edge);
    }
    return QPixmap::fromImage(canvas);
}

void SidePicture::paintEvent(QPaintEvent*) {
    if (m_rendered.isNull() || m_rendered.deviceIndependentSize().toSize() != size())
        m_rendered = render();
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_rendered);
}

} // namespace vellumar
