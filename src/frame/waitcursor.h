#pragma once

#include <QCursor>
#include <QGuiApplication>

namespace vellumar {

// Shows the busy cursor for one scope: hashing a password or reading a large ledger takes a
// moment the operator should see.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace vellumar
