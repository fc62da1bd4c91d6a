#pragma once
// Driving the interpolation screen as a user does: the main window's "插补操作界面" button,
// clicks on the boxes and buttons, typed keys.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "mainwindow/Mainfrm.h"
#include "screens/interpolation/InterpolationScreen.h"

namespace interp {

inline InterpolationScreen *openScreen(Mainfrm &w)
{
    QTest::mouseClick(w.Command9, Qt::LeftButton);
    return qobject_cast<InterpolationScreen *>(w.runControl().screen(RunControl::Interpolation));
}

inline QLineEdit *box(QWidget *form, int index)
{
    return form->findChild<QLineEdit *>(QStringLiteral("Text1_%1").arg(index));
}

inline QPushButton *button(QWidget *form, int index)
{
    return form->findChild<QPushButton *>(QStringLiteral("Command1_%1").arg(index));
}

// Clicks into a setting box, rubs out what the refresh left there, types `text` and, unless
// told otherwise, confirms it with ENTER.
inline void enter(QLineEdit *box, const QString &text, bool confirm = true)
{
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::keyClick(box, Qt::Key_End);
    for (int n = int(box->text().size()); n > 0; --n)
        QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
    if (confirm)
        QTest::keyClick(box, Qt::Key_Return);
}

// A request's head: slave, function, address, count or value.
inline QByteArray head(const QByteArray &frame)
{
    return frame.left(6);
}

}  // namespace interp
