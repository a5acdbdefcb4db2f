#pragma once

#include "host/host.h"

namespace vellumar {

// The host of the running program: Qt's message boxes and file dialogs in Chinese, the
// desktop's programs, the real file system and clock.
class QtHost final : public Host {
public:
    int messageBox(const QString& text, int flags, const QString& title,
                   const QString& detail) override;
    std::optional<QString> chooseFileToOpen(const QList<FileFilter>& filters,
                                            const QString& startDirectory) override;
    bool run(const QString& commandLine) override;
    QDateTime now() const override;
};

} // namespace vellumar
