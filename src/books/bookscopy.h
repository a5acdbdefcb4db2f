#pragma once

#include "books/booksstore.h"
#include "storage/status.h"

#include <QHash>
#include <QStringList>

#include <functional>
#include <optional>

namespace vellumar {

// What copying one store's books into another would change there. The target keeps whatever
// the source does not have; nothing is ever deleted by a copy.
struct BooksCopyPlan {
    // What the password comes to in the target.
    enum class Password {
        Same,    // both have the same (or neither has one)
        Copied,  // the target has none: it gets the source's
        KeptOwn, // both have one and they differ: the target keeps its own
    };

    QStringList addedHolders;    // only in the source: added at the end, in the source's order
    QStringList replacedLedgers; // in both, with different ledgers: the target gets the source's
    QStringList keptLedgers;     // in both, nothing to copy: the same ledger, or none in the source
    QStringList keptHolders;     // only in the target: left as they are
    Password password = Password::Same;
    bool sourcePasswordSet = false;
    // Whether the target had neither holders nor a password.
    bool targetEmpty = true;

    // The target as it was compared, so that a copy confirmed later can tell whether it
    // changed meanwhile.
    QStringList targetHolders;
    QString targetPasswordHash;
    QHash<QString, QString> targetRevisions;

    bool changesNothing() const {
        return addedHolders.isEmpty() && replacedLedgers.isEmpty() && password != Password::Copied;
    }
    // The lines the operator reads before confirming a merge, in Chinese.
    QStringList describe() const;
};

// What a copy did.
struct BooksCopyReport {
    int holdersAdded = 0;
    int ledgersCopied = 0;
    qint64 recordsCopied = 0;
    bool passwordCopied = false;

    QString describe() const;
};

// Told how far a long copy has come (holders done of all); answering false stops it. A stop
// keeps nothing in shared books; local books keep what was finished, each step whole.
using CopyProgress = std::function<bool(int done, int total)>;

// Compares the two stores' books, holder by holder and cell by cell.
Result<BooksCopyPlan> planBooksCopy(BooksStore& source, BooksStore& target,
                                    const CopyProgress& progress = {});

// Copies the books as the plan says. The plan is checked against the target once more first:
// when the target changed since (another counter added a holder, saved a ledger), nothing is
// copied and the failure says to compare again.
Result<BooksCopyReport> copyBooks(BooksStore& source, BooksStore& target, const BooksCopyPlan& plan,
                                  const CopyProgress& progress = {});

// "上传本机账本" and the copy back: into empty books the copy is made at once and its report
// is the answer; books that are not empty are left alone and the answer is the plan, for the
// operator to confirm before copyBooks() merges.
struct BooksCopyOutcome {
    std::optional<BooksCopyReport> copied;
    std::optional<BooksCopyPlan> toConfirm;
};
Result<BooksCopyOutcome> copyIntoEmptyBooks(BooksStore& source, BooksStore& target,
                                            const CopyProgress& progress = {});

} // namespace vellumar
