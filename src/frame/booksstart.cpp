#include "frame/booksstart.h"

#include "frame/waitcursor.h"

namespace vellumar {

namespace {

enum Choice { Retry = 0, UseLocal, Stop };

// What the operator does about books that cannot be used; without a server to try again
// (a choice that cannot be read), only the local books or the end remain.
Choice askWhatNow(Host& host, const Status& why, bool canRetry) {
    Question question;
    question.text = why.message() + QStringLiteral("\n\n请选择：") +
                    (canRetry ? QStringLiteral("再试一次，") : QString()) +
                    QStringLiteral("这次先打开本机的账本（共享账本中的用户和账目在本机看不到），"
                                   "或者退出程序。");
    question.detail = why.detail();
    question.icon = MessageFlags::IconWarning;
    if (canRetry)
        question.buttons = {QStringLiteral("重试"), QStringLiteral("打开本机账本"),
                            QStringLiteral("退出")};
    else
        question.buttons = {QStringLiteral("打开本机账本"), QStringLiteral("退出")};
    question.defaultButton = 0;
    question.cancelButton = static_cast<int>(question.buttons.size()) - 1;
    const int answer = host.ask(question);
    return static_cast<Choice>(canRetry ? answer : answer + 1);
}

std::unique_ptr<BooksInUse> localBooks(const DataPaths& paths, FileSystem& files) {
    Result<std::unique_ptr<BooksStore>> local = openBooks(BooksLocation(), paths, files);
    return std::make_unique<BooksInUse>(std::move(local).value(), BooksLocation());
}

} // namespace

Result<std::unique_ptr<BooksStore>> connectBooks(const BooksLocation& location,
                                                 const DataPaths& paths, FileSystem& files) {
    WaitCursor wait;
    return openBooks(location, paths, files);
}

std::unique_ptr<BooksInUse> openBooksAtStart(Host& host, const DataPaths& paths,
                                             FileSystem& files) {
    const Result<std::optional<BooksLocation>> saved = savedBooksChoice(paths.settingsFile());
    // The variable wins even over a settings file that cannot be read.
    const Result<BooksLocation> chosen = saved ? chooseBooks(*saved)
                                         : environmentChoosesBooks()
                                             ? chooseBooks(std::nullopt)
                                             : Result<BooksLocation>(saved.status());
    if (!chosen) {
        if (askWhatNow(host, chosen.status(), false) == UseLocal)
            return localBooks(paths, files);
        return nullptr;
    }
    for (;;) {
        Result<std::unique_ptr<BooksStore>> opened = connectBooks(*chosen, paths, files);
        if (opened)
            return std::make_unique<BooksInUse>(std::move(opened).value(), *chosen);
        switch (askWhatNow(host, opened.status(), true)) {
        case Retry:
            continue;
        case UseLocal:
            return localBooks(paths, files);
        case Stop:
            return nullptr;
        }
    }
}

} // namespace vellumar
