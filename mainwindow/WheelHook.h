// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Turns the mouse wheel over a program grid into one-row scrolling: each notch moves the top
// row by exactly one, whatever the wheel delta and the desktop's scroll setting. Up stops
// once line 1 is in view; down stops at the last row. Every other event passes untouched.
#include <QList>
#include <QObject>
#include <QPointer>

class FlexGrid;

class WheelHook : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Hooks every grid among the form's controls (the type is tested, not the name).
    void InstallWheelHook(QWidget *form);
    void RemoveWheelHook(QWidget *form);
    int count() const { return int(m_table.size()); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Record {
        QPointer<QWidget> owner;
        QPointer<FlexGrid> grid;
    };
    QList<Record> m_table;
};
