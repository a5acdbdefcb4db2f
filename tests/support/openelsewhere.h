#pragma once

#include "books/localbooks.h"

#include <memory>

// Local books whose every ledger is open at another counter, as shared books show a ledger
// another counter has: read-only, saying who has it. For looking at the read-only ledger
// window without a server.
class OpenElsewhereBooks final : public vellumar::BooksStore {
public:
    OpenElsewhereBooks(const vellumar::DataPaths& paths, vellumar::FileSystem& files,
                       vellumar::LedgerEditor editor)
        : m_local(paths, files), m_editor(std::move(editor)) {}

    Kind kind() const override { return Kind::Shared; }
    QString description() const override { return m_local.description(); }
    vellumar::Result<vellumar::HolderList*> holders() override { return m_local.holders(); }
    vellumar::Result<bool> passwordMatches(const QString& typed) override {
        return m_local.passwordMatches(typed);
    }
    vellumar::Status changePassword(const QString& password) override {
        return m_local.changePassword(password);
    }
    std::unique_ptr<vellumar::HolderBook> book(const QString& holder) override {
        return std::make_unique<Book>(m_local.book(holder), m_editor);
    }
    vellumar::Result<std::unique_ptr<vellumar::BooksReader>> reader() override {
        return m_local.reader();
    }
    vellumar::Result<std::unique_ptr<vellumar::BooksWriter>> writer() override {
        return m_local.writer();
    }
    bool keepsSafetyNets() const override { return false; }
    QString safekeeping() const override { return QStringLiteral("共享账本由服务器管理员备份。"); }
    bool sharesWithOtherCounters() const override { return true; }

private:
    class Book final : public vellumar::HolderBook {
    public:
        Book(std::unique_ptr<vellumar::HolderBook> inner, vellumar::LedgerEditor editor)
            : m_inner(std::move(inner)), m_editor(std::move(editor)) {}
        const QString& userName() const override { return m_inner->userName(); }
        QString location() const override { return m_inner->location(); }
        QString filePath() const override { return QString(); }
        vellumar::Result<Opened> load(vellumar::LedgerSheet& sheet) override {
            return m_inner->load(sheet);
        }
        Access access() const override { return Access::ReadOnly; }
        std::optional<vellumar::LedgerEditor> editor() const override { return m_editor; }
        bool foundUnreadableFile() const override { return false; }
        vellumar::Status save(const vellumar::LedgerSheet&, const QDateTime&) override {
            return vellumar::Status::failure(
                QStringLiteral("这个账本正在别处打开，这里只能查看。"));
        }
        QString keptCopy() const override { return QString(); }
        void close() override { m_inner->close(); }

    private:
        std::unique_ptr<vellumar::HolderBook> m_inner;
        vellumar::LedgerEditor m_editor;
    };

    vellumar::LocalBooks m_local;
    vellumar::LedgerEditor m_editor;
};
