// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The columns of a data table, and one row of it with its values in the order of the columns.
#include <QtTest>

template <typename... T> void columns(const auto &...names)
{
    (QTest::addColumn<T>(names), ...);
}
inline const auto row = [](const char *name, auto... values) { (QTest::newRow(name) << ... << values); };
