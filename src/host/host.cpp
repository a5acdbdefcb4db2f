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

QString Host::toText(double value) const {
    return numberToText(value);
}

QString Host::toText(const QDateTime& moment) const {
    return dateTimeToText(moment);
}

} // namespace vellumar
