#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>

#include <functional>

namespace tavomi::test {

// Runs the event loop until the condition holds or the time is up; returns the
// condition's last value. For use in GoogleTest bodies, where QTRY_* cannot be used.
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QTest::qWait(5);
    }
    return true;
}

}  // namespace tavomi::test
