#pragma once

#include "host/host.h"

#include <QString>
#include <QStringList>

#include <cstdio>

namespace vellumar::bench {

// The high-water mark of this process image, in KiB. ru_maxrss would not do: Linux carries it
// over from the parent through fork and exec, so a child started by a large parent reports the
// parent's peak. VmHWM belongs to the address space, which exec makes anew.
long peakMemoryKiB();
// The memory the process holds now, in KiB.
long currentMemoryKiB();
// Sets the high-water mark back to what the process holds now, so the next peak is that of
// the step measured, not of the load before it.
void resetPeakMemory();

// What one child process reported on its line "RESULT seconds peakKiB extra...".
struct Measured {
    bool ok = false;
    double seconds = 0;
    double peakMiB = 0;
    QStringList extra;
};

// Runs this program again with the arguments, so the measurement has a process of its own.
Measured runChild(const QStringList& arguments);
// The median of a few runs, so one hiccup of the machine does not decide.
Measured runMedian(const QStringList& arguments, int runs);
// "12 ms", with two decimals below 10 ms.
QString ms(double seconds);

// The command line after the program's name.
QStringList commandArguments(int argc, char* argv[]);
// Windows are drawn off screen unless the caller chose a platform.
void preferOffscreen();

// A host that answers every question with OK (or its cancel button), lets every long piece of
// work run to its end and reports what it was told on stderr.
class BenchHost final : public Host {
public:
    int messageBox(const QString& text, int, const QString&, const QString&) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return MessageAnswer::Ok;
    }
    int ask(const Question& question) override {
        std::fprintf(stderr, "question: %s\n", qPrintable(question.text));
        return question.cancelButton;
    }
    std::optional<QString> chooseFileToOpen(const QList<FileFilter>&, const QString&) override {
        return std::nullopt;
    }
    std::optional<QString> chooseFileToSave(const QList<FileFilter>&, const QString&) override {
        return std::nullopt;
    }
    std::unique_ptr<Progress> startProgress(const QString&, qint64) override {
        struct Unwatched final : Progress {
            bool advance(qint64) override { return true; }
        };
        return std::make_unique<Unwatched>();
    }
    void previewPrint(const QString&, const PagePainter&) override {}
    Result<bool> print(const QString&, const PagePainter&) override { return false; }
    bool run(const QString&) override { return false; }
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace vellumar::bench
