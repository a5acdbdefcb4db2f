#pragma once

#include <QPlainTextEdit>

namespace vellumar {

// The remark box of the record dialogs: free text over several lines. It shows whole lines
// only, so the bottom line of a small box is never cut in half, scrolled or not; and it takes
// no more text than one ledger cell holds, typed or pasted.
class RemarkEdit final : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit RemarkEdit(QWidget* parent = nullptr);

    void setMaxLength(qsizetype characters);
    qsizetype maxLength() const { return m_maxLength; }

    // The height of one line of text, and how many whole lines the box shows.
    int lineHeight() const;
    int visibleLines() const;
    // Where the middle of the first line is, from the top of the box.
    int firstLineCentre();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void fitWholeLines();
    void keepWithinLength(int position, int added);

    qsizetype m_maxLength;
    bool m_trimming = false;
};

} // namespace vellumar
