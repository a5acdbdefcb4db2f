#pragma once

#include "books/booksstore.h"
#include "frame/frame.h"
#include "frame/services.h"
#include "ledger/ledgeredits.h"
#include "ledger/ledgersheet.h"
#include "storage/status.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class QTableView;

namespace Ui {
class LedgerWindow;
}

namespace vellumar {

class LedgerAccess;
class LedgerModel;
class LedgerSafetyNet;

// One account holder's ledger: the grid of goods records, the file commands that load and save
// it, and the doors to the record dialogs. The holder is given when the window is made and
// stays the same while it is open.
class LedgerWindow final : public QMainWindow, public WindowHandlers {
    Q_OBJECT

public:
    // Makes a window that this one opens (a record dialog, the totals, About), or nothing.
    using Factory = std::function<QWidget*(LedgerWindow&)>;
    struct DialogFactories {
        Factory addRecord;
        Factory editRecord;
        Factory totals;
        Factory about;
    };

    // The window of one account holder's ledger, named when it is opened.
    LedgerWindow(Services services, QString userName, QWidget* parent = nullptr);
    ~LedgerWindow() override;

    // The program's own record dialogs, totals and About window; tests may put others in.
    void setRecordDialogFactories(DialogFactories factories);

    LedgerSheet& sheet() { return m_sheet; }
    const LedgerSheet& sheet() const { return m_sheet; }
    QTableView* grid() const;
    // The holder's ledger in the books, as loaded at opening.
    const HolderBook& ledger() const { return *m_book; }
    HolderBook& ledger() { return *m_book; }
    // Whether the ledger can only be looked at (another counter has it open): nothing that
    // changes records or saves can be chosen.
    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);
    // Reads the ledger afresh from the books (after another counter saved or gave it up);
    // what was not saved here is lost, so the caller asks first.
    Status reloadLedger();
    // Every change to the grid goes through here: one undo step and one journal entry each.
    LedgerEdits& edits() { return m_edits; }
    // The sheet row of the grid's cursor; -1 when there is none. The titles are never current.
    int currentRow() const;

    void created() override;
    bool closeQuery() override;
    // Sizes the grid to the window, leaving room for the bars shown.
    void placeGrid();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    static DialogFactories programDialogs();
    void connectCommands();
    void loadLedger();
    void applyLayout();
    Status saveLedger();
    // Saves, or tells the operator why not; answers whether the ledger reached its file.
    bool saveOrReport();
    // Saves before the window closes; answers whether it may close (see SaveBeforeClosing).
    bool saveBeforeClosing();

    void openFile();
    void save();
    void closeLedger();
    void selectAll();
    void deleteRecords();
    void addRecord();
    void editRecord();
    void showTotals();
    void showHelp();
    void showAbout();
    void openFrom(const Factory& factory);

    Services m_services;
    std::unique_ptr<HolderBook> m_book;
    std::unique_ptr<Ui::LedgerWindow> m_ui;
    LedgerSheet m_sheet;
    LedgerEdits m_edits{m_sheet};
    LedgerSafetyNet* m_safetyNet = nullptr;
    LedgerAccess* m_access = nullptr;
    bool m_readOnly = false;
    LedgerModel* m_model = nullptr;
    DialogFactories m_factories;
};

} // namespace vellumar
