#include "benchprocess.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <sys/resource.h>

namespace vellumar::bench {

namespace {

// A figure of /proc/self/status in KiB ("VmHWM", "VmRSS"); 0 when it cannot be read.
long statusKiB(const QByteArray& field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith(QByteArray(field + ':')))
                return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

} // namespace

long peakMemoryKiB() {
    if (const long peak = statusKiB("VmHWM"))
        return peak;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long currentMemoryKiB() {
    return statusKiB("VmRSS");
}

void resetPeakMemory() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
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

QStringList commandArguments(int argc, char* argv[]) {
    QStringList arguments;
    for (int n = 1; n < argc; ++n)
        arguments.append(QString::fromLocal8Bit(argv[n]));
    return arguments;
}

void preferOffscreen() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace vellumar::bench
