#pragma once

#include "host/host.h"

#include <QDateTime>
#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

// A host that never blocks: message boxes and file dialogs are answered from queues the test
// fills beforehand, and everything shown or started is recorded for the test to check.
class ScriptedHost final : public vellumar::Host {
public:
    struct Message {
        QString text;
        int flags;
        QString title;
        QString detail;
    };

    // Answers for the next questions (boxes with more than one button), in order. A box with
    // only an OK button is answered OK by itself; a question without a scripted answer is a
    // test failure.
    void answer(int answer) { m_answers.enqueue(answer); }
    // The button the next question (ask) is answered with; a question without one is a test
    // failure and gets its cancel button.
    void answerQuestion(int button) { m_questionAnswers.enqueue(button); }
    // The file the next open-file dialog returns; an empty string means "cancelled".
    void chooseFile(const QString& path) { m_files.enqueue(path); }
    // The file the next save-file dialog returns; an empty string means "cancelled".
    void chooseSaveFile(const QString& path) { m_saveFiles.enqueue(path); }
    void setNow(const QDateTime& moment) { m_now = moment; }
    // Whether the operator confirms the next printer dialog.
    void answerPrint(bool confirm) { m_printAnswers.enqueue(confirm); }
    // What receives the pages of every print preview and confirmed print (a PDF writer, say);
    // without it they are only recorded.
    void setPrintTarget(std::function<vellumar::Status(const vellumar::PagePainter&)> target) {
        m_printTarget = std::move(target);
    }
    // The progress indicator started next is stopped by the operator at its first step.
    void cancelNextProgress() { m_cancelProgress = true; }

    struct PrintJob {
        QString title;
        bool preview;
    };
    const QList<PrintJob>& printJobs() const { return m_printJobs; }
    // The texts of the progress indicators started, and the steps each was told about.
    const QStringList& progressTexts() const { return m_progressTexts; }

    const QList<Message>& messages() const { return m_messages; }
    QStringList messageTexts() const;
    const QStringList& commandLines() const { return m_commandLines; }
    const QList<QList<vellumar::FileFilter>>& fileDialogs() const { return m_fileDialogs; }
    const QList<vellumar::Question>& questions() const { return m_questions; }
    struct SaveDialog {
        QList<vellumar::FileFilter> filters;
        QString suggestedPath;
    };
    const QList<SaveDialog>& saveDialogs() const { return m_saveDialogs; }
    void clearRecords();

    // The words of a message that are English rather than a name the program uses.
    static QStringList englishWords(const QString& text);

    // Empty when the script was played out exactly: every answer used, no question unanswered,
    // no English in any message.
    QString problems() const;

    int messageBox(const QString& text, int flags, const QString& title,
                   const QString& detail) override;
    int ask(const vellumar::Question& question) override;
    std::optional<QString> chooseFileToOpen(const QList<vellumar::FileFilter>& filters,
                                            const QString& startDirectory) override;
    std::optional<QString> chooseFileToSave(const QList<vellumar::FileFilter>& filters,
                                            const QString& suggestedPath) override;
    std::unique_ptr<vellumar::Progress> startProgress(const QString& text, qint64 total) override;
    void previewPrint(const QString& title, const vellumar::PagePainter& paint) override;
    vellumar::Result<bool> print(const QString& title, const vellumar::PagePainter& paint) override;
    bool run(const QString& commandLine) override;
    QDateTime now() const override;

private:
    vellumar::Status sendToPrintTarget(const vellumar::PagePainter& paint);
    QQueue<bool> m_printAnswers;
    std::function<vellumar::Status(const vellumar::PagePainter&)> m_printTarget;
    QList<PrintJob> m_printJobs;
    QStringList m_progressTexts;
    bool m_cancelProgress = false;

    QQueue<int> m_answers;
    QQueue<int> m_questionAnswers;
    QQueue<QString> m_files;
    QQueue<QString> m_saveFiles;
    QList<Message> m_messages;
    QList<vellumar::Question> m_questions;
    QList<SaveDialog> m_saveDialogs;
    QStringList m_commandLines;
    QList<QList<vellumar::FileFilter>> m_fileDialogs;
    QStringList m_problems;
    QDateTime m_now = QDateTime(QDate(2026, 12, 9), QTime(9, 30, 15));
};

// Fails the current test when the script was not played out exactly.
#define VERIFY_SCRIPT_DONE(host)                                                                   \
    do {                                                                                           \
        const QString scriptProblems = (host).problems();                                          \
        QVERIFY2(scriptProblems.isEmpty(), qPrintable(scriptProblems));                            \
    } while (false)
