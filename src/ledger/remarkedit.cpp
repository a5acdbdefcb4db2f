#include "ledger/remarkedit.h"

#include "ledger/ledgerlimits.h"

#include <QEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace vellumar {

namespace {

// Room between the text and the box's border on the left and the right.
constexpr int SideMargin = 4;

} // namespace

RemarkEdit::RemarkEdit(QWidget* parent)
    : QPlainTextEdit(parent), m_maxLength(LedgerLimits::MaxCellCharacters) {
    // The room around the text comes from the viewport's margins, which keep whole lines; the
    // document's own margin would put a part of a line at the bottom.
    document()->setDocumentMargin(0);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    connect(document(), &QTextDocument::contentsChange, this,
            [this](int position, int, int added) { keepWithinLength(position, added); });
    fitWholeLines();
}

void RemarkEdit::setMaxLength(qsizetype characters) {
    m_maxLength = std::max<qsizetype>(characters, 0);
    keepWithinLength(0, document()->characterCount());
}

int RemarkEdit::lineHeight() const {
    // Laid out the way the box lays out its own lines, leading included.
    QTextLayout probe(QStringLiteral("国Ag"), document()->defaultFont());
    probe.beginLayout();
    QTextLine line = probe.createLine();
    line.setLeadingIncluded(true);
    line.setLineWidth(1000);
    probe.endLayout();
    return std::max(1, static_cast<int>(std::ceil(line.height())));
}

int RemarkEdit::visibleLines() const {
    return viewport()->height() / lineHeight();
}

int RemarkEdit::firstLineCentre() {
    fitWholeLines();
    return frameWidth() + viewportMargins().top() + lineHeight() / 2;
}

void RemarkEdit::fitWholeLines() {
    const int line = lineHeight();
    const int room = std::max(0, height() - 2 * frameWidth());
    const int lines = std::max(1, room / line);
    const int spare = std::max(0, room - lines * line);
    const int top = spare / 2;
    setViewportMargins(SideMargin, top, SideMargin, spare - top);
}

void RemarkEdit::resizeEvent(QResizeEvent* event) {
    fitWholeLines();
    QPlainTextEdit::resizeEvent(event);
}

void RemarkEdit::changeEvent(QEvent* event) {
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitWholeLines();
}

void RemarkEdit::keepWithinLength(int position, int added) {
    const qsizetype excess = (document()->characterCount() - 1) - m_maxLength;
    if (excess <= 0 || m_trimming)
        return;
    // What came last goes: the end of what was just typed or pasted.
    const int end = position + added;
    int start = std::max(0, static_cast<int>(end - excess));
    if (start > 0 && document()->characterAt(start).isLowSurrogate())
        --start; // never half a character
    m_trimming = true;
    QTextCursor cut(document());
    cut.setPosition(start);
    cut.setPosition(std::min(end, document()->characterCount() - 1), QTextCursor::KeepAnchor);
    cut.removeSelectedText();
    m_trimming = false;
}

} // namespace vellumar
