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

    virtual void setTimer1Enabled(bool on) = 0;
    virtual void setTimer2Enabled(bool on) = 0;
    virtual bool timer1Enabled() const = 0;
    virtual bool timer2Enabled() const = 0;

    virtual void setConnectionLabel(const QString &text) = 0;  // Label3
    virtual QString connectCaption() const = 0;                // Cmd1
    virtual void setConnectCaption(const QString &text) = 0;
    virtual QString lineCountText() const = 0;  // Text1
    virtual void setLineCountText(const QString &text) = 0;
    virtual QString runModeCaption() const = 0;  // Command13
    virtual void setRunModeCaption(const QString &text) = 0;
    virtual void setButtonColor(Button button, const QColor &color) = 0;
    virtual void setReadButtonEnabled(bool on) = 0;  // Cmd5

    // Lays the grid's rows out for a program of `lines` lines: one row each, numbered.
    virtual void layoutProgramRows(int lines) = 0;
    // Writes the texts of `count` lines from the start of the display image into the rows of
    // block `block`.
    virtual void RenderLines(int count, int block) = 0;
};
