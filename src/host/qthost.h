#pragma once

#include "host/host.h"

#include <QSize>

namespace vellumar {

// The host of the running program: Qt's message boxes and file dialogs in Chinese, the
// desktop's programs, the real file system and clock.
class QtHost final : public Host {
public:
    int messageBox(const QString& text, int flags, const QString& title,
                   const QString& detail) override;
    int ask(const Question& question) override;
    std::optional<QString> chooseFileToOpen(const QList<FileFilter>& filters,
                                            const QString& startDirectory) override;
    std::optional<QString> chooseFileToSave(const QList<FileFilter>& filters,
                                            const QString& suggestedPath) override;

    // What the file dialogs call a ledger file instead of the desktop's name for "*.z".
    static QString ledgerTypeName();
    // How big the file dialogs open, so that every column is readable.
    static QSize fileDialogSize();
    std::unique_ptr<Progress> startProgress(const QString& text, qint64 total) override;
    void previewPrint(const QString& title, const PagePainter& paint) override;
    Result<bool> print(const QString& title, const PagePainter& paint) override;
    bool run(const QString& commandLine) override;
    QDateTime now() const override;
};

} // namespace vellumar
