#pragma once
// Waiting for the link in tests: until no request is outstanding, handling events meanwhile.
#include <QElapsedTimer>
#include <QTest>

#include "link/LinkState.h"

inline bool waitIdle(const LinkState &state, int ms = 30000)
{
    QElapsedTimer t;
    t.start();
    while (state.RequestTag != 0 && t.elapsed() < ms)
        QTest::qWait(20);
    return state.RequestTag == 0;
}
