#pragma once
// What the link, the transfers and the screens may change on the main window. The main
// window implements it; nothing below the main window includes a window class.
#include <QColor>
#include <QString>

class MainView {
public:
    enum class Button { Cmd5, Command8, Command12, Command14 };

    virtual ~MainView() = default;

    virtual void HideCellEditors() = 0;

    // Timer1 (transfer steps and the boxes) and Timer2 (the watchdog): 1 or 2. Enabling a
    // timer that was off starts its period afresh.
    virtual void setTimerEnabled(int timer, bool on) = 0;
    virtual bool timerEnabled(int timer) const = 0;

    // The connection label Label3, the connect button Cmd1, the line-count box Text1 and the
    // power-on auto-run button Command13.
    enum Field { ConnectionLabel, ConnectButton, LineCountBox, RunModeButton };
    virtual QString text(Field field) const = 0;
    virtual void setText(Field field, const QString &text) = 0;
    virtual void setButtonColor(Button button, const QColor &color) = 0;
    virtual void setReadButtonEnabled(bool on) = 0;  // Cmd5

    // Lays the grid's rows out for a program of `lines` lines: one row each, numbered.
    virtual void layoutProgramRows(int lines) = 0;
    // Writes the texts of `count` lines from the start of the display image into the rows of
    // block `block`.
    virtual void RenderLines(int count, int block) = 0;
    // Keeps what the grid and the line-count box show, and shows it again: an upload that
    // does not complete leaves them as they were before it began.
    virtual void saveProgramView() = 0;
    virtual void restoreProgramView() = 0;
};
