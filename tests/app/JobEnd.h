#pragma once

#include <QGuiApplication>
#include <QTest>

// Waits until the run or preview that a button handed to the window's worker has ended, with any box it
// ended with shown and closed: the busy cursor is gone then.
inline bool waitForJobEnd()
{
    return QTest::qWaitFor([] { return QGuiApplication::overrideCursor() == nullptr; }, 120000);
}
