#include "host/qthost.h"

#include "utilities/commandmapper.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

namespace vellumar {

namespace {

QMessageBox::Icon iconFor(int flags) {
    switch (flags & MessageFlags::IconMask) {
    case MessageFlags::IconError:
        return QMessageBox::Critical;
    case MessageFlags::IconQuestion:
        return QMessageBox::Question;
    case MessageFlags::IconWarning:
        return QMessageBox::Warning;
    case MessageFlags::IconInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// The window the operator is looking at, so the box centres on it and blocks it.
QWidget* ownerWindow() {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

} // namespace

int QtHost::messageBox(const QString& text, int flags, const QString& title,
                       const QString& detail) {
    QMessageBox box(iconFor(flags), title.isEmpty() ? defaultTitle() : title, text,
                    QMessageBox::NoButton, ownerWindow());
    if (!detail.isEmpty())
        box.setInformativeText(QStringLiteral("详细信息：") + detail);
    box.setWindowModality(Qt::ApplicationModal);
    // Short messages would otherwise make a box too narrow for its own title.
    box.setStyleSheet(QStringLiteral("QLabel#qt_msgbox_label { min-width: 180px; }"));

    struct Choice {
        QString caption;
        int answer;
        QMessageBox::ButtonRole role;
    };
    QList<Choice> choices;
    switch (flags & MessageFlags::ButtonMask) {
    case MessageFlags::OkCancel:
        choices = {{QStringLiteral("确定"), MessageAnswer::Ok, QMessageBox::AcceptRole},
                   {QStringLiteral("取消"), MessageAnswer::Cancel, QMessageBox::RejectRole}};
        break;
    case MessageFlags::YesNo:
        choices = {{QStringLiteral("是"), MessageAnswer::Yes, QMessageBox::YesRole},
                   {QStringLiteral("否"), MessageAnswer::No, QMessageBox::NoRole}};
        break;
    default:
        choices = {{QStringLiteral("确定"), MessageAnswer::Ok, QMessageBox::AcceptRole}};
        break;
    }

    QList<QPushButton*> buttons;
    for (const Choice& choice : choices)
        buttons.append(box.addButton(choice.caption, choice.role));
    box.setDefaultButton(buttons.first());
    // Esc and the close box mean the last choice: Cancel, No, or OK when that is all there is.
    box.setEscapeButton(buttons.last());
    box.exec();

    for (qsizetype i = 0; i < buttons.size(); ++i)
        if (box.clickedButton() == buttons[i])
            return choices[i].answer;
    return choices.last().answer;
}

std::optional<QString> QtHost::chooseFileToOpen(const QList<FileFilter>& filters,
                                                const QString& startDirectory) {
    QStringList entries;
    for (const FileFilter& filter : filters)
        entries.append(filter.description + QStringLiteral(" (") + filter.pattern +
                       QStringLiteral(")"));
    // The descriptions already show their pattern, so Qt's own copy of it stays hidden.
    const QString chosen = QFileDialog::getOpenFileName(
        ownerWindow(), QStringLiteral("打开"), startDirectory, entries.join(QStringLiteral(";;")),
        nullptr, QFileDialog::HideNameFilterDetails);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

bool QtHost::run(const QString& commandLine) {
    const DesktopLookup desktop{
        [](const QString& name) { return QStandardPaths::findExecutable(name); }, QDir::homePath()};
    const LaunchPlan plan = planLaunch(commandLine, desktop);
    switch (plan.kind) {
    case LaunchPlan::Kind::Program:
        return QProcess::startDetached(plan.program, plan.arguments, QDir::homePath());
    case LaunchPlan::Kind::Document:
        return QDesktopServices::openUrl(QUrl::fromLocalFile(plan.document));
    case LaunchPlan::Kind::Nothing:
        break;
    }
    return false;
}

QDateTime QtHost::now() const {
    return QDateTime::currentDateTime();
}

} // namespace vellumar
