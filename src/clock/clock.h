#pragma once

#include <QDateTime>

#include <functional>

namespace tavomi {

// The local clock, passed in so that tests can fix the time.
using Clock = std::function<QDateTime()>;

inline Clock systemClock() {
    return [] { return QDateTime::currentDateTime(); };
}

}  // namespace tavomi
