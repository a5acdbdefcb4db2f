#pragma once

#include "guifixture.h"

#include <QString>
#include <QWidget>

#include <functional>

// Opens every window of the program the way the operator reaches it (sign in, the user list's
// menus, a double-click on a holder, the ledger's menus and buttons) and hands each one, open
// and on top, to the visitor before closing it again.
using WindowVisitor = std::function<void(const QString& name, QWidget* window)>;
void tourWindows(GuiFixture& fixture, const WindowVisitor& visit);
