#pragma once

#include "storage/status.h"

#include <QtGlobal>

// For a test's own set-up steps, which must not fail: a failure stops the test program with
// the reason, so a broken set-up can never pass for a result.
template <typename T> T valueOf(vellumar::Result<T> result) {
    if (!result)
        qFatal("set-up failed: %s %s", qPrintable(result.status().message()),
               qPrintable(result.status().detail()));
    return std::move(result).value();
}

inline void must(const vellumar::Status& status) {
    if (!status)
        qFatal("set-up failed: %s %s", qPrintable(status.message()), qPrintable(status.detail()));
}
