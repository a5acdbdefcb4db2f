#pragma once

#include "frame/dialog.h"
#include "frame/services.h"
#include "safety/recyclebin.h"

#include <QPointer>

#include <memory>
#include <optional>

namespace Ui {
class RecycleBinWindow;
}

namespace vellumar {

class UserDirectory;

// The holders deleted from the user list, with when they were deleted and how many records
// their ledger held. One comes back to the end of the list ("恢复"; refused while the name
// belongs to someone) or is deleted for good after a second question ("彻底删除"). The list
// of users follows whatever the directory does.
class RecycleBinWindow final : public Dialog {
    Q_OBJECT

public:
    RecycleBinWindow(Services services, UserDirectory& directory, QWidget* parent = nullptr);
    ~RecycleBinWindow() override;

    void created() override;

    // The holders shown, the latest deleted first.
    const QList<RecycledHolder>& holders() const { return m_holders; }

private:
    void showHolders();
    std::optional<RecycledHolder> selected() const;
    void updateButtons();
    void restore();
    void purge();

    Services m_services;
    QPointer<UserDirectory> m_directory;
    std::unique_ptr<Ui::RecycleBinWindow> m_ui;
    QList<RecycledHolder> m_holders;
};

} // namespace vellumar
