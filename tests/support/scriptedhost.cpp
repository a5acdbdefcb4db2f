#include "scriptedhost.h"

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
}

QString ScriptedHost::problems() const {
    QStringList all = m_problems;
    if (!m_answers.isEmpty())
        all.append(QStringLiteral("%1 scripted answer(s) left unused").arg(m_answers.size()));
    if (!m_files.isEmpty())
        all.append(QStringLiteral("%1 scripted file choice(s) left unused").arg(m_files.size()));
    return all.join(QStringLiteral("; "));
}

int ScriptedHost::messageBox(const QString& text, int flags, const QString& title,
                             const QString& detail) {
    m_messages.append({text, flags, title, detail});
    if ((flags & MessageFlags::ButtonMask) == MessageFlags::Ok)
        return MessageAnswer::Ok;
    if (!m_answers.isEmpty())
        return m_answers.dequeue();
    m_problems.append(QStringLiteral("unanswered question: ") + text);
    return (flags & MessageFlags::ButtonMask) == MessageFlags::YesNo ? MessageAnswer::No
                                                                     : MessageAnswer::Cancel;
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
