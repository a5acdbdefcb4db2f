#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace vellumar {

// The decorative strip beside the ledger grid. The picture keeps its proportions at the
// strip's width, sits at the top, and its foot fades into the picture's own colours, so the
// strip can be as tall as the grid at any window size.
class SidePicture final : public QWidget {
    Q_OBJECT

public:
    explicit SidePicture(QWidget* parent = nullptr);

    void setPicture(const QImage& picture);
    bool hasPicture() const { return !m_picture.isNull(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap render() const;

    QImage m_picture;
    QColor m_background; // the picture's foot
    QColor m_edge;       // the line down its right side
    mutable QPixmap m_rendered;
};

} // namespace vellumar
