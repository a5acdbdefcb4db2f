#pragma once

#include <QString>
#include <QStringList>

// Measurements in fresh child processes, so that each one's peak memory is its own: a child
// prints "RESULT seconds peak-KiB extra…" on a line, and the parent reads it.
namespace vellumar::bench {

// The high-water mark of this process image (VmHWM). ru_maxrss would not do: Linux carries it
// over from the parent through fork and exec, so a child started by a large parent reports
// the parent's peak. VmHWM belongs to the address space, which exec makes anew.
long peakMemoryKiB();

struct Measured {
    bool ok = false;
    double seconds = 0;
    double peakMiB = 0;
    QStringList extra;
};

// Runs this program once more with the arguments and reads what it reported.
Measured runChild(const QStringList& arguments);
// The median of a few runs, so one hiccup of the machine does not decide.
Measured runMedian(const QStringList& arguments, int runs);

// "12 ms", with two decimals below 10 ms.
QString ms(double seconds);

} // namespace vellumar::bench
