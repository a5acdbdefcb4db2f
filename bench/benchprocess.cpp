#include "benchprocess.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <sys/resource.h>

namespace vellumar::bench {

long peakMemoryKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

Measured runChild(const QStringList& arguments) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    Measured measured;
    if (!child.waitForFinished(1800000) || child.exitCode() != 0)
        return measured;
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    for (const QString& line : output.split(u'\n')) {
        if (!line.startsWith(QStringLiteral("RESULT ")))
            continue;
        const QStringList fields = line.split(u' ', Qt::SkipEmptyParts);
        measured.ok = fields.size() >= 3;
        measured.seconds = fields.value(1).toDouble();
        measured.peakMiB = fields.value(2).toDouble() / 1024;
        measured.extra = fields.mid(3);
    }
    return measured;
}

Measured runMedian(const QStringList& arguments, int runs) {
    QList<Measured> all;
    for (int n = 0; n < runs; ++n) {
        Measured one = runChild(arguments);
        if (!one.ok)
            return one;
        all.append(one);
    }
    std::sort(all.begin(), all.end(),
              [](const Measured& a, const Measured& b) { return a.seconds < b.seconds; });
    return all[all.size() / 2];
}

QString ms(double seconds) {
    return QString::number(seconds * 1000, 'f', seconds < 0.01 ? 2 : 0) + QStringLiteral(" ms");
}

} // namespace vellumar::bench
