#pragma once

#include "frame/dialog.h"
#include "frame/services.h"
#include "ledger/ledgeredits.h"
#include "ledger/ledgerrecords.h"
#include "ledger/ledgersheet.h"

#include <QPointer>

#include <memory>

namespace Ui {
class RecordDialog;
}

namespace vellumar {

// The form in which the operator types one goods record: product, quantity, unit, unit price,
// total and remark. The total follows quantity × unit price whenever either changes; a total
// typed over it is kept until one of the two changes again. Confirming writes into the ledger
// sheet only, as one step that can be undone; the ledger reaches its file when it is saved.
//
// Keys: Enter confirms from every one-line box; in the remark box Enter starts a new line and
// Ctrl+Enter confirms. Esc and the close box cancel. No box takes more text than a ledger cell
// holds.
class RecordDialog : public Dialog {
    Q_OBJECT

public:
    ~RecordDialog() override;

protected:
    RecordDialog(Services services, LedgerEdits& edits, const QString& caption,
                 const QString& confirmCaption, QWidget* parent);

    // Shows a record; the total is filled last, so the stored total shows even though filling
    // quantity and price has just recomputed it. Every box shows the start of its text.
    void showFields(const RecordFields& fields);
    // What the boxes hold, the total as shown (not recomputed).
    RecordFields fields() const;
    // Closes the dialog when the ledger took the record; otherwise says why and stays open.
    void finish(const Status& written);

    // The ledger the record goes into; nothing once it is gone.
    LedgerEdits* edits() const { return m_edits.data(); }
    LedgerSheet* sheet() const { return m_edits ? &m_edits->sheet() : nullptr; }
    // Once shown: a box that got the focus with its text selected shows the text's start.
    void created() override;

    Services m_services;

private:
    virtual void confirm() = 0;
    void recomputeTotal();
    bool eventFilter(QObject* watched, QEvent* event) override;

    QPointer<LedgerEdits> m_edits;
    std::unique_ptr<Ui::RecordDialog> m_ui;
};

// Adds a record to the ledger: it goes into the first free row below the titles, or into a
// new row at the end when every row holds a record, up to the ledger's ceiling. The record is
// stamped with the moment of the click on "确认增加".
class AddRecordDialog final : public RecordDialog {
    Q_OBJECT

public:
    explicit AddRecordDialog(Services services, LedgerEdits& edits, QWidget* parent = nullptr);

private:
    void confirm() override;
};

// Changes the record in a row of the ledger. Confirming renumbers the record to its row index
// and keeps the date it was added with.
//
// Only rows below the titles can be edited: the caller checks canEdit() (or uses openFor(),
// which does) and opens nothing otherwise, so "编辑记录" without a current record does nothing.
// A dialog made for another row anyway shows empty boxes and writes nothing.
class EditRecordDialog final : public RecordDialog {
    Q_OBJECT

public:
    EditRecordDialog(Services services, LedgerEdits& edits, int row, QWidget* parent = nullptr);

    static bool canEdit(const LedgerSheet& sheet, int row);
    // Opens the dialog through the frame when the row can be edited; answers whether it did.
    static bool openFor(Services services, LedgerEdits& edits, int row);

    int row() const { return m_row; }

private:
    void confirm() override;

    const int m_row;
};

} // namespace vellumar
