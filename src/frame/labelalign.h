#pragma once

class QLabel;
class QWidget;

namespace vellumar {

// The designs give labels a taller box than the edit box beside them and place the two a few
// pixels apart. These keep the label's designed geometry and move only its text, so the text
// sits on the same line as what the operator types.

// Centres the label's text on the height y, given in the coordinates of the label's parent.
void centreLabelTextAt(QLabel* label, int centreY);

// Centres the label's text on the middle of a one-line control beside it.
void alignLabelWith(QLabel* label, const QWidget* control);

// Centres the label's text on the first line of a multi-line text box beside it.
void alignLabelWithFirstLine(QLabel* label, const QWidget* textBox);

} // namespace vellumar
