#pragma once
// Driving the parameter screen the way the user does: open it from the main window, click a
// box, type, press Enter.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "mainwindow/Mainfrm.h"
#include "screens/parameters/ParamScreen.h"

inline ParamScreen *OpenParamScreen(Mainfrm &w)
{
    QTest::mouseClick(w.Cmd4, Qt::LeftButton);
    return dynamic_cast<ParamScreen *>(w.runControl().screen(RunControl::Parameters));
}

inline QLineEdit *Box(ParamScreen *screen, int index)
{
    return screen->findChild<QLineEdit *>(QStringLiteral("Text7_%1").arg(index));
}

// Clicks the box, replaces its text by typing `typed` key by key, and presses Enter.
inline void TypeEntry(ParamScreen *screen, int index, const QString &typed)
{
    QLineEdit *box = Box(screen, index);
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::keyClick(box, Qt::Key_End);
    for (int n = 0; n < 64 && !box->text().isEmpty(); ++n)
        QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, typed);
    QTest::keyClick(box, Qt::Key_Return);
}
