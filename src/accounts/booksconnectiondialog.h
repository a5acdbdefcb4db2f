#pragma once

#include "books/bookslocation.h"
#include "frame/dialog.h"
#include "frame/services.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace vellumar {

// Chooses, before sign-in, where this counter's books are: the local books of the data folder
// or shared books on a PostgreSQL server (by its address, or by a libpq connection text or
// service name). "确定" connects to the chosen books, keeps the choice in the data folder and
// makes the sign-in use them at once; nothing changes when they cannot be reached. The
// database password is never asked for or kept here: libpq reads it from ~/.pgpass.
class BooksConnectionDialog final : public Dialog {
    Q_OBJECT

public:
    explicit BooksConnectionDialog(Services services, QWidget* parent = nullptr);

    // The location the fields describe now.
    BooksLocation chosenLocation() const;

private:
    void showLocation(const BooksLocation& location);
    void kindChosen();
    void testConnection();
    void confirm();
    // The choice is kept; answers whether it was (the operator has been told otherwise).
    bool keepChoice(const BooksLocation& location);
    // Why the fields cannot be used as they are; empty when they can.
    QString problem() const;

    Services m_services;
    QRadioButton* m_local;
    QRadioButton* m_shared;
    QLineEdit* m_host;
    QLineEdit* m_port;
    QLineEdit* m_database;
    QLineEdit* m_user;
    QComboBox* m_sslMode;
    QLineEdit* m_connectionText;
    QLabel* m_environment;
};

} // namespace vellumar
