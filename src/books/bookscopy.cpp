#include "books/bookscopy.h"

#include "ledger/ledgerrecords.h"

namespace vellumar {

namespace {

// Holder names in a sentence; a long list ends in "等 N 个".
QString nameList(const QStringList& names) {
    constexpr qsizetype Shown = 20;
    QString text = names.mid(0, Shown).join(QStringLiteral("、"));
    if (names.size() > Shown)
        text += QStringLiteral(" 等 %1 个").arg(names.size());
    return text;
}

bool sameCells(const LedgerSheet& one, const LedgerSheet& other) {
    if (one.rowCount() != other.rowCount())
        return false;
    for (int row = 0; row < one.rowCount(); ++row)
        for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
            if (one.cellView(row, column) != other.cellView(row, column))
                return false;
    return true;
}

Status cancelled() {
    return Status::failure(QStringLiteral("已取消。"));
}

Status targetChanged() {
    return Status::failure(QStringLiteral("比较之后，目标账本又被改动过（也许是别的柜台），"
                                          "这次什么也没有复制。请重新比较，核对后再确认。"));
}

bool goOn(const CopyProgress& progress, int done, int total) {
    return !progress || progress(done, total);
}

// Whether the target is still as it was when the plan was made.
Status checkUnchanged(BooksWriter& target, const BooksCopyPlan& plan) {
    const Result<QStringList> holders = target.holders();
    if (!holders)
        return holders.status();
    const Result<QString> hash = target.passwordHash();
    if (!hash)
        return hash.status();
    if (*holders != plan.targetHolders || *hash != plan.targetPasswordHash)
        return targetChanged();
    for (auto revision = plan.targetRevisions.cbegin(); revision != plan.targetRevisions.cend();
         ++revision) {
        const Result<QString> now = target.ledgerRevision(revision.key());
        if (!now)
            return now.status();
        if (*now != revision.value())
            return targetChanged();
    }
    return Status();
}

} // namespace

QStringList BooksCopyPlan::describe() const {
    QStringList lines;
    if (!addedHolders.isEmpty())
        lines.append(QStringLiteral("将添加 %1 个用户及其账本：%2")
                         .arg(addedHolders.size())
                         .arg(nameList(addedHolders)));
    if (!replacedLedgers.isEmpty())
        lines.append(QStringLiteral("%1 个用户两边都有，但账目不同，将改为复制过去的账目"
                                    "（原有的账目被替换）：%2")
                         .arg(replacedLedgers.size())
                         .arg(nameList(replacedLedgers)));
    if (!keptLedgers.isEmpty())
        lines.append(
            QStringLiteral("%1 个用户两边都有，账目无需复制，保持不变。").arg(keptLedgers.size()));
    if (!keptHolders.isEmpty())
        lines.append(QStringLiteral("%1 个用户只在目标中有，保持不变：%2")
                         .arg(keptHolders.size())
                         .arg(nameList(keptHolders)));
    if (password == Password::Copied)
        lines.append(QStringLiteral("目标还没有设置管理密码，将使用复制过去的密码。"));
    else if (password == Password::KeptOwn)
        lines.append(QStringLiteral("两边的管理密码不同，目标保留自己的密码。"));
    if (changesNothing())
        lines.append(QStringLiteral("两边的账本已经一致，没有需要复制的内容。"));
    return lines;
}

QString BooksCopyReport::describe() const {
    QString text = QStringLiteral("已复制 %1 个用户、%2 本账本（共 %3 条记录）")
                       .arg(holdersAdded)
                       .arg(ledgersCopied)
                       .arg(recordsCopied);
    if (passwordCopied)
        text += QStringLiteral("，以及管理密码");
    return text + QStringLiteral("。");
}

Result<BooksCopyPlan> planBooksCopy(BooksStore& source, BooksStore& target,
                                    const CopyProgress& progress) {
    Result<std::unique_ptr<BooksReader>> from = source.reader();
    if (!from)
        return from.status();
    Result<std::unique_ptr<BooksReader>> to = target.reader();
    if (!to)
        return to.status();
    const Result<QStringList> sourceHolders = (*from)->holders();
    if (!sourceHolders)
        return sourceHolders.status();
    const Result<QStringList> targetHolders = (*to)->holders();
    if (!targetHolders)
        return targetHolders.status();
    const Result<QString> sourceHash = (*from)->passwordHash();
    if (!sourceHash)
        return sourceHash.status();
    const Result<QString> targetHash = (*to)->passwordHash();
    if (!targetHash)
        return targetHash.status();

    BooksCopyPlan plan;
    plan.targetHolders = *targetHolders;
    plan.targetPasswordHash = *targetHash;
    plan.targetEmpty = targetHolders->isEmpty() && targetHash->isEmpty();
    plan.sourcePasswordSet = !sourceHash->isEmpty();
    if (*sourceHash == *targetHash)
        plan.password = BooksCopyPlan::Password::Same;
    else if (targetHash->isEmpty())
        plan.password = BooksCopyPlan::Password::Copied;
    else
        plan.password = BooksCopyPlan::Password::KeptOwn;

    const int total = static_cast<int>(sourceHolders->size());
    for (int done = 0; done < total; ++done) {
        if (!goOn(progress, done, total))
            return cancelled();
        const QString& holder = sourceHolders->at(done);
        if (!targetHolders->contains(holder)) {
            plan.addedHolders.append(holder);
            continue;
        }
        LedgerSheet ours;
        const Result<bool> sourceHas = (*from)->readLedger(holder, ours);
        if (!sourceHas)
            return sourceHas.status();
        const Result<QString> revision = (*to)->ledgerRevision(holder);
        if (!revision)
            return revision.status();
        plan.targetRevisions.insert(holder, *revision);
        if (!*sourceHas) {
            plan.keptLedgers.append(holder);
            continue;
        }
        LedgerSheet theirs;
        const Result<bool> targetHas = (*to)->readLedger(holder, theirs);
        if (!targetHas)
            return targetHas.status();
        if (*targetHas && sameCells(ours, theirs))
            plan.keptLedgers.append(holder);
        else
            plan.replacedLedgers.append(holder);
    }
    for (const QString& holder : *targetHolders)
        if (!sourceHolders->contains(holder))
            plan.keptHolders.append(holder);
    (void)goOn(progress, total, total);
    return plan;
}

Result<BooksCopyReport> copyBooks(BooksStore& source, BooksStore& target, const BooksCopyPlan& plan,
                                  const CopyProgress& progress) {
    Result<std::unique_ptr<BooksReader>> from = source.reader();
    if (!from)
        return from.status();
    Result<std::unique_ptr<BooksWriter>> to = target.writer();
    if (!to)
        return to.status();
    BooksWriter& writer = **to;
    if (Status unchanged = checkUnchanged(writer, plan); !unchanged)
        return unchanged;

    BooksCopyReport report;
    const int total = static_cast<int>(plan.addedHolders.size() + plan.replacedLedgers.size());
    int done = 0;
    const auto copyLedger = [&](const QString& holder) -> Status {
        LedgerSheet sheet;
        const Result<bool> has = (*from)->readLedger(holder, sheet);
        if (!has)
            return has.status();
        if (!*has)
            return Status();
        if (Status written = writer.writeLedger(holder, sheet); !written)
            return written.prefixed(QStringLiteral("用户“%1”的账本没有复制：").arg(holder));
        ++report.ledgersCopied;
        report.recordsCopied += LedgerRecords::recordCount(sheet);
        return Status();
    };
    for (const QString& holder : plan.addedHolders) {
        if (!goOn(progress, done++, total))
            return cancelled();
        if (const UserChange added = writer.addHolder(holder); !added)
            return added.refusal() == UserChange::Refusal::NameInUse
                       ? targetChanged()
                       : added.status().prefixed(QStringLiteral("用户“%1”没有复制：").arg(holder));
        ++report.holdersAdded;
        if (Status copied = copyLedger(holder); !copied)
            return copied;
    }
    for (const QString& holder : plan.replacedLedgers) {
        if (!goOn(progress, done++, total))
            return cancelled();
        if (Status copied = copyLedger(holder); !copied)
            return copied;
    }
    if (plan.password == BooksCopyPlan::Password::Copied) {
        const Result<QString> hash = (*from)->passwordHash();
        if (!hash)
            return hash.status();
        if (Status stored = writer.setPasswordHash(*hash); !stored)
            return stored;
        report.passwordCopied = true;
    }
    if (!goOn(progress, total, total))
        return cancelled();
    if (Status committed = writer.commit(); !committed)
        return committed;
    return report;
}

Result<BooksCopyOutcome> copyIntoEmptyBooks(BooksStore& source, BooksStore& target,
                                            const CopyProgress& progress) {
    Result<BooksCopyPlan> plan = planBooksCopy(source, target, progress);
    if (!plan)
        return plan.status();
    BooksCopyOutcome outcome;
    if (!plan->targetEmpty) {
        outcome.toConfirm = std::move(plan).value();
        return outcome;
    }
    Result<BooksCopyReport> copied = copyBooks(source, target, *plan, progress);
    if (!copied)
        return copied.status();
    outcome.copied = *copied;
    return outcome;
}

} // namespace vellumar
