#pragma once

#include "frame/dialog.h"
#include "frame/services.h"
#include "safety/ledgerbackups.h"

#include <QDateTime>
#include <QHash>
#include <QStringList>

#include <memory>
#include <optional>

namespace Ui {
class BackupWindow;
}

namespace vellumar {

// "备份与恢复": for each holder, the versions of their ledger that saves replaced, with the
// time each was saved, its record count and its total (the sum "计算" gives). One can be
// looked at ("预览", read-only) or put back ("恢复此版本": the ledger there now is kept as a
// version first, and the version replaces it in one crash-safe step). Reading many large
// versions shows its progress and can be cancelled.
class BackupWindow final : public Dialog {
    Q_OBJECT

public:
    // The holders in list order; the one to show first, if any.
    BackupWindow(Services services, QStringList holders, const QString& shownFirst = QString(),
                 QWidget* parent = nullptr);
    ~BackupWindow() override;

    void created() override;

    const QList<BackupVersion>& versions() const { return m_versions; }

private:
    struct Summary {
        qint64 size = 0;
        QDateTime modified;
        Result<LedgerSummary> summary = Status::failure(QString());
    };

    QString holder() const;
    void showVersions();
    // Reads the versions not read before; answers false when the operator stopped it.
    bool readSummaries();
    std::optional<BackupVersion> selected() const;
    void updateButtons();
    void preview();
    void restore();

    Services m_services;
    std::unique_ptr<Ui::BackupWindow> m_ui;
    QList<BackupVersion> m_versions;
    // What was read of a version, as long as its file is unchanged.
    QHash<QString, Summary> m_summaries;
};

} // namespace vellumar
