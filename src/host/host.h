#pragma once

#include "storage/status.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <memory>
#include <optional>

class QPagedPaintDevice;

namespace vellumar {

// Message box flags: the buttons in the low nibble, the icon in the high one.
namespace MessageFlags {
constexpr int Ok = 0x00;
constexpr int OkCancel = 0x01;
constexpr int YesNo = 0x04;
constexpr int IconError = 0x10;
constexpr int IconQuestion = 0x20;
constexpr int IconWarning = 0x30;
constexpr int IconInformation = 0x40;
constexpr int ButtonMask = 0x0F;
constexpr int IconMask = 0xF0;
} // namespace MessageFlags

// What the operator answered a message box with.
namespace MessageAnswer {
constexpr int Ok = 0;
constexpr int Cancel = 1;
constexpr int Yes = 5;
constexpr int No = 6;
} // namespace MessageAnswer

// One entry of an open-file dialog's filter: what the operator reads and the pattern it stands for.
struct FileFilter {
    QString description;
    QString pattern;
};

// A question whose answers are buttons of the caller's own.
struct Question {
    QString text;
    QStringList buttons;   // captions, in the order they are shown
    int defaultButton = 0; // what Enter presses
    int cancelButton = 0;  // what Esc and the close box answer
    int icon = MessageFlags::IconQuestion;
    QString title;  // the default title when empty
    QString detail; // the system's own words about a failure, shown smaller
};

// Paints a document's pages onto a printer; a failure says why.
using PagePainter = std::function<Status(QPagedPaintDevice& device)>;

// Long work the operator watches and may stop.
class Progress {
public:
    virtual ~Progress();
    // Shows how far the work has come; false once the operator has asked to stop.
    virtual bool advance(qint64 done) = 0;
};

// Everything the program needs of its surroundings: questions to the operator, files picked
// by the operator, other programs and the clock. The windows go through this
// and nothing else, so the whole program can be driven from a script.
class Host {
public:
    virtual ~Host();

    // The title every message box carries when its caller gives none.
    static QString defaultTitle();

    // Shows a message and waits for the operator; answers with a MessageAnswer value. The
    // detail, when there is one, is the system's own wording of a failure: shown smaller,
    // under the message.
    virtual int messageBox(const QString& text, int flags = MessageFlags::Ok,
                           const QString& title = QString(), const QString& detail = QString()) = 0;

    // Tells the operator about a failure: its sentence, after a lead of the caller's when one
    // is given, and the system's words as the detail.
    int reportFailure(const Status& failure, const QString& lead = QString(),
                      int flags = MessageFlags::IconWarning, const QString& title = QString());

    // Asks a question and answers the index of the button pressed.
    virtual int ask(const Question& question) = 0;
    // Asks before something that cannot be taken back, the button that does it first and the
    // one that keeps things second. Enter and Esc both keep, so going ahead takes a deliberate
    // click. True when the operator went ahead.
    bool confirmDeliberately(const QString& text, const QString& goAhead, const QString& keep,
                             int icon = MessageFlags::IconWarning,
                             const QString& title = QString());

    // Lets the operator pick an existing file; nothing when the dialog was cancelled.
    virtual std::optional<QString> chooseFileToOpen(const QList<FileFilter>& filters,
                                                    const QString& startDirectory) = 0;
    // Lets the operator choose where a file is saved, starting in the folder of the suggested
    // path with its name proposed; nothing when the dialog was cancelled.
    virtual std::optional<QString> chooseFileToSave(const QList<FileFilter>& filters,
                                                    const QString& suggestedPath) = 0;

    // Shows the progress of work of `total` steps, once it takes longer than a moment, with a
    // button that stops it. The indicator goes when the object does.
    virtual std::unique_ptr<Progress> startProgress(const QString& text, qint64 total) = 0;

    // Shows the pages on screen as they would be printed (A4 portrait unless the operator
    // changes it); the operator may print them from there.
    virtual void previewPrint(const QString& title, const PagePainter& paint) = 0;
    // Lets the operator choose a printer, then prints; false when the operator cancelled.
    virtual Result<bool> print(const QString& title, const PagePainter& paint) = 0;

    // Starts another program or document without waiting for it; true when something started.
    virtual bool run(const QString& commandLine) = 0;

    virtual QDateTime now() const = 0;

    // Conversions are the same everywhere, so they are not for a host to change.
    QString toText(double value) const;
    QString toText(const QDateTime& moment) const;
};

} // namespace vellumar
