#pragma once

#include <QString>
#include <QStringList>

namespace vellumar::bench {

// The high-water mark of this process image, in KiB. ru_maxrss would not do: Linux carries it
// over from the parent through fork and exec, so a child started by a large parent reports the
// parent's peak. VmHWM belongs to the address space, which exec makes anew.
long peakMemoryKiB();

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

} // namespace vellumar::bench
