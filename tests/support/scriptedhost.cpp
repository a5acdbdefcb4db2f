#include "scriptedhost.h"

#include <QRegularExpression>

#include <utility>

using namespace vellumar;

QStringList ScriptedHost::messageTexts() const {
    QStringList texts;
    for (const Message& message : m_messages)
        texts.append(message.text);
    return texts;
}

void ScriptedHost::clearRecords() {
    m_messages.clear();
    m_commandLines.clear();
    m_fileDialogs.clear();
    m_questions.clear();
    m_saveDialogs.clear();
    m_printJobs.clear();
    m_progressTexts.clear();
}

QString ScriptedHost::problems() const {
    QStringList all = m_problems;
    if (!m_answers.isEmpty())
        all.append(QStringLiteral("%1 scripted answer(s) left unused").arg(m_answers.size()));
    if (!m_questionAnswers.isEmpty())
        all.append(QStringLiteral("%1 scripted question answer(s) left unused")
                       .arg(m_questionAnswers.size()));
    if (!m_files.isEmpty())
        all.append(QStringLiteral("%1 scripted file choice(s) left unused").arg(m_files.size()));
    if (!m_printAnswers.isEmpty())
        all.append(
            QStringLiteral("%1 scripted print answer(s) left unused").arg(m_printAnswers.size()));
    if (m_cancelProgress)
        all.append(QStringLiteral("a scripted progress cancel left unused"));
    if (!m_saveFiles.isEmpty())
        all.append(
            QStringLiteral("%1 scripted save-file choice(s) left unused").arg(m_saveFiles.size()));
    return all.join(QStringLiteral("; "));
}

QStringList ScriptedHost::englishWords(const QString& text) {
    static const QStringList allowed = {QStringLiteral("Vellumar"), QStringLiteral("UTF"),
                                        QStringLiteral("GBK"),      QStringLiteral("GB"),
                                        QStringLiteral("CSV"),      QStringLiteral("Excel"),
                                        QStringLiteral("WPS"),      QStringLiteral("LibreOffice")};
    // The kinds of file the report commands save, and their endings in a file's name.
    static const QStringList fileKinds = {QStringLiteral("PDF"), QStringLiteral("pdf"),
                                          QStringLiteral("xlsx")};
    // The names of the database server and of what its administrator types, kept as they are.
    static const QStringList technicalNames = {QStringLiteral("PostgreSQL"),
                                               QStringLiteral("libpq")};
    // Runs of Latin text between Chinese characters and spaces; paths are the files' own.
    static const QRegularExpression runs(QStringLiteral("[^\\s\\x{2E80}-\\x{FFFF}]+"));
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
    QStringList found;
    for (auto run = runs.globalMatch(text); run.hasNext();) {
        const QString token = run.next().captured();
        if (token.contains(u'/') || token.contains(u'\\'))
            continue;
        // A setting as it is typed ("host=", "service="), a name with an underscore (a
        // database, a variable) or a name of the server's.
        if (token.endsWith(u'=') || token.contains(u'_') || technicalNames.contains(token))
            continue;
        for (auto match = word.globalMatch(token); match.hasNext();) {
            const QString english = match.next().captured();
            if (!allowed.contains(english) && !fileKinds.contains(english))
                found.append(english);
        }
    }
    return found;
}

int ScriptedHost::messageBox(const QString& text, int flags, const QString& title,
                             const QString& detail) {
    m_messages.append({text, flags, title, detail});
    // The operator reads Chinese; the system's English belongs in the detail only.
    if (const QStringList english = englishWords(text + u' ' + title); !english.isEmpty())
        m_problems.append(
            QStringLiteral("English in a message (%1): %2").arg(english.join(u','), text));
    if ((flags & MessageFlags::ButtonMask) == MessageFlags::Ok)
        return MessageAnswer::Ok;
    if (!m_answers.isEmpty())
        return m_answers.dequeue();
    m_problems.append(QStringLiteral("unanswered question: ") + text);
    return (flags & MessageFlags::ButtonMask) == MessageFlags::YesNo ? MessageAnswer::No
                                                                     : MessageAnswer::Cancel;
}

int ScriptedHost::ask(const Question& question) {
    m_questions.append(question);
    if (question.cancelButton < 0 || question.cancelButton >= question.buttons.size() ||
        question.defaultButton < 0 || question.defaultButton >= question.buttons.size())
        m_problems.append(QStringLiteral("question with a default or cancel button it does not "
                                         "have: ") +
                          question.text);
    if (m_questionAnswers.isEmpty()) {
        m_problems.append(QStringLiteral("unanswered question: ") + question.text);
        return question.cancelButton;
    }
    const int answer = m_questionAnswers.dequeue();
    if (answer < 0 || answer >= question.buttons.size())
        m_problems.append(QStringLiteral("scripted answer %1 is no button of: ").arg(answer) +
                          question.text);
    return answer;
}

std::optional<QString> ScriptedHost::chooseFileToSave(const QList<FileFilter>& filters,
                                                      const QString& suggestedPath) {
    m_saveDialogs.append({filters, suggestedPath});
    if (m_saveFiles.isEmpty()) {
        m_problems.append(QStringLiteral("unscripted save-file dialog"));
        return std::nullopt;
    }
    const QString path = m_saveFiles.dequeue();
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> ScriptedHost::chooseFileToOpen(const QList<FileFilter>& filters,
                                                      const QString&) {
    m_fileDialogs.append(filters);
    if (m_files.isEmpty()) {
        m_problems.append(QStringLiteral("unscripted open-file dialog"));
        return std::nullopt;
    }
    const QString path = m_files.dequeue();
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

bool ScriptedHost::run(const QString& commandLine) {
    m_commandLines.append(commandLine);
    return true;
}

QDateTime ScriptedHost::now() const {
    return m_now;
}

namespace {

class ScriptedProgress final : public Progress {
public:
    explicit ScriptedProgress(bool cancel) : m_cancel(cancel) {}
    bool advance(qint64) override { return !m_cancel; }

private:
    bool m_cancel;
};

} // namespace

std::unique_ptr<Progress> ScriptedHost::startProgress(const QString& text, qint64) {
    m_progressTexts.append(text);
    if (!englishWords(text).isEmpty())
        m_problems.append(QStringLiteral("English in a progress text: ") + text);
    const bool cancel = std::exchange(m_cancelProgress, false);
    return std::make_unique<ScriptedProgress>(cancel);
}

Status ScriptedHost::sendToPrintTarget(const PagePainter& paint) {
    return m_printTarget ? m_printTarget(paint) : Status();
}

void ScriptedHost::previewPrint(const QString& title, const PagePainter& paint) {
    m_printJobs.append({title, true});
    if (Status painted = sendToPrintTarget(paint); !painted)
        messageBox(painted.message(), MessageFlags::IconWarning, QString(), painted.detail());
}

Result<bool> ScriptedHost::print(const QString& title, const PagePainter& paint) {
    if (m_printAnswers.isEmpty()) {
        m_problems.append(QStringLiteral("unscripted printer dialog: ") + title);
        return false;
    }
    if (!m_printAnswers.dequeue())
        return false;
    m_printJobs.append({title, false});
    if (Status painted = sendToPrintTarget(paint); !painted)
        return painted;
    return true;
}
