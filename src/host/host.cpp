#include "host/host.h"

#include "host/conversions.h"

namespace vellumar {

Host::~Host() = default;

Progress::~Progress() = default;

QString Host::defaultTitle() {
    return QStringLiteral("Vellumar");
}

int Host::reportFailure(const Status& failure, const QString& lead, int flags,
                        const QString& title) {
    return messageBox(lead + failure.message(), flags, title, failure.detail());
}

bool Host::confirmDeliberately(const QString& text, const QString& goAhead, const QString& keep,
                               int icon, const QString& title) {
    Question question;
    question.text = text;
    question.buttons = {goAhead, keep};
    question.defaultButton = 1;
    question.cancelButton = 1;
    question.icon = icon;
    question.title = title;
    return ask(question) == 0;
}

QString Host::toText(double value) const {
    return numberToText(value);
}

QString Host::toText(const QDateTime& moment) const {
    return dateTimeToText(moment);
}

} // namespace vellumar
