#include "frame/labelalign.h"

#include <QAbstractScrollArea>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <algorithm>

namespace vellumar {

void centreLabelTextAt(QLabel* label, int centreY) {
    // With the text centred vertically, a margin on one side moves it by half the margin. A
    // label rounds a half pixel up and an edit box rounds it down: the extra pixel evens that.
    const int height = label->height();
    const int offset = 2 * (centreY - label->y()) - height + 1;
    const int top = std::clamp(offset, 0, height - 1);
    const int bottom = std::clamp(-offset, 0, height - 1);
    label->setAlignment((label->alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
    label->setContentsMargins(0, top, 0, bottom);
}

void alignLabelWith(QLabel* label, const QWidget* control) {
    centreLabelTextAt(label, control->y() + control->height() / 2);
}

void alignLabelWithFirstLine(QLabel* label, const QWidget* textBox) {
    int firstLineTop = textBox->y();
    if (const auto* area = qobject_cast<const QAbstractScrollArea*>(textBox))
        firstLineTop += area->frameWidth(); // the viewport's place before any layout pass
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(textBox))
        firstLineTop += static_cast<int>(plain->document()->documentMargin());
    centreLabelTextAt(label, firstLineTop + textBox->fontMetrics().height() / 2);
}

} // namespace vellumar
