#include "accounts/bookstransfer.h"

#include "accounts/userlistwindow.h"
#include "books/bookscopy.h"
#include "books/localbooks.h"
#include "frame/waitcursor.h"

#include <QAction>
#include <QMenu>

namespace vellumar {

namespace {

// Shows the progress once the copy knows how much there is to do; false once the operator
// asked to stop.
class CopyProgressShown {
public:
    CopyProgressShown(Host& host, QString text) : m_host(host), m_text(std::move(text)) {}

    CopyProgress callback() {
        return [this](int done, int total) {
            if (!m_progress)
                m_progress = m_host.startProgress(m_text, std::max(total, 1));
            return m_progress->advance(done);
        };
    }
    void finish() { m_progress.reset(); }

private:
    Host& m_host;
    QString m_text;
    std::unique_ptr<Progress> m_progress;
};

bool confirmMerge(Host& host, const BooksCopyPlan& plan, bool upload) {
    QString text = upload ? QStringLiteral("共享账本中已经有用户或密码，上传会与它合并：")
                          : QStringLiteral("本机的账本中已经有用户或密码，复制会与它合并：");
    for (const QString& line : plan.describe())
        text += QStringLiteral("\n· ") + line;
    text += QStringLiteral("\n\n任何一边的用户都不会被删除。确定合并吗？");
    // Replacing ledgers takes a deliberate choice.
    return host.confirmDeliberately(text, QStringLiteral("合并"), QStringLiteral("取消"),
                                    MessageFlags::IconQuestion);
}

// Runs one copy with the operator: progress with a way to stop, the plan to confirm where the
// target is not empty, and the report. The target is what "上传" or "复制" goes into.
void transferBooks(Services services, BooksStore& source, BooksStore& target, bool upload) {
    Host& host = services.host;
    const QString what =
        upload ? QStringLiteral("本机账本没有上传") : QStringLiteral("共享账本没有复制到本机");
    CopyProgressShown comparing(host, QStringLiteral("正在比较两边的账本…"));
    const Result<BooksCopyOutcome> outcome = [&] {
        WaitCursor wait;
        return copyIntoEmptyBooks(source, target, comparing.callback());
    }();
    comparing.finish();
    if (!outcome) {
        host.reportFailure(outcome.status(), what + QStringLiteral("：\n"));
        return;
    }
    std::optional<BooksCopyReport> report = outcome->copied;
    if (!report) {
        const BooksCopyPlan& plan = *outcome->toConfirm;
        if (plan.changesNothing()) {
            host.messageBox(upload ? QStringLiteral("共享账本中已经有本机账本的全部内容，没有需要"
                                                    "上传的。")
                                   : QStringLiteral("本机的账本中已经有共享账本的全部内容，没有"
                                                    "需要复制的。"),
                            MessageFlags::IconInformation);
            return;
        }
        if (!confirmMerge(host, plan, upload))
            return;
        CopyProgressShown copying(host, upload ? QStringLiteral("正在上传本机账本…")
                                               : QStringLiteral("正在复制到本机账本…"));
        const Result<BooksCopyReport> merged = [&] {
            WaitCursor wait;
            return copyBooks(source, target, plan, copying.callback());
        }();
        copying.finish();
        if (!merged) {
            host.reportFailure(merged.status(), what + QStringLiteral("：\n"));
            return;
        }
        report = *merged;
    }
    host.messageBox((upload ? QStringLiteral("本机账本已上传到%1。\n")
                            : QStringLiteral("共享账本已复制到%1。\n"))
                            .arg(target.description()) +
                        report->describe(),
                    MessageFlags::IconInformation);
}

} // namespace

void installBooksTransferItems(Services services, UserListWindow& window, QMenu& fileMenu) {
    fileMenu.addSeparator();
    auto* upload = fileMenu.addAction(QStringLiteral("上传本机账本…"));
    upload->setObjectName(QStringLiteral("actionUploadLocalBooks"));
    auto* copyBack = fileMenu.addAction(QStringLiteral("复制到本机账本…"));
    copyBack->setObjectName(QStringLiteral("actionCopyToLocalBooks"));

    // Only shared books have a counterpart to copy to or from, and only a list that could be
    // read knows what it would change.
    const auto usable = [services, &window] {
        return services.books.store().sharesWithOtherCounters() && window.holders() != nullptr;
    };
    const auto transfer = [services, &window, usable](bool toShared) {
        return [services, &window, usable, toShared] {
            if (!usable())
                return;
            BooksStore& shared = services.books.store();
            // The local books are the data folder's, whichever books the counter works on.
            LocalBooks local(services.paths, services.files);
            if (toShared)
                transferBooks(services, local, shared, true);
            else
                transferBooks(services, shared, local, false);
        };
    };
    QObject::connect(upload, &QAction::triggered, &window, transfer(true));
    QObject::connect(copyBack, &QAction::triggered, &window, transfer(false));
    QObject::connect(&fileMenu, &QMenu::aboutToShow, &window, [usable, upload, copyBack] {
        for (QAction* action : {upload, copyBack})
            action->setEnabled(usable());
    });
    for (QAction* action : {upload, copyBack})
        action->setEnabled(services.books.store().sharesWithOtherCounters());
}

} // namespace vellumar
