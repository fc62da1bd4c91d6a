// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window: the program grid, the connection, the transfers and the run-control
// commands. It owns the serial port and the two link timers for the whole run; closing it
// ends the tool with every other window.
#include <QMainWindow>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

#include "core/ToolCore.h"
#include "mainwindow/RunControl.h"
#include "ui/Language.h"

class AboutForm;
class DisplayBox;
class CommPort;
class FlexGrid;
class Prompter;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class SubScreen;
class MotionFeed;
class WheelHook;
class ProgramEditor;
class ProjectFiles;
class EditHistory;
class TransferProgress;
class TrafficMonitor;

class Mainfrm : public QMainWindow {
    Q_OBJECT
public:
    // `catalogue` gives the devices that port numbers 1 to 20 stand for; it is asked afresh at
    // every connect.
    Mainfrm(ToolState &state, Prompter &prompter, std::function<QStringList()> catalogue, QWidget *parent = nullptr);
    // A fixed list of devices.
    Mainfrm(ToolState &state, Prompter &prompter, const QStringList &devices, QWidget *parent = nullptr);
    ~Mainfrm() override;

    // Start-up: grid layout, port scan and handshake, timers.
    void Form_Load();

    // Closes the grid's chooser and entry box without storing what they hold: the first step of
    // every command of the window.
    void HideCellEditors();
    // Writes the texts of `count` lines from the start of the display image into the rows of
    // block `block`.
    void RenderLines(int count, int block);

    // Lays out the grid's columns, alignment and header texts (row count untouched).
    void layoutGridColumns();

    ToolCore &core() { return m_core; }
    ToolState &state() { return m_state; }
    CommPort &port() { return m_core.port; }
    ModbusLink &link() { return m_core.link; }
    Connection &connection() { return m_core.connection; }
    ReceiveHandler &receiveHandler() { return m_core.receive; }
    EmergencyStop &emergencyStop() { return m_core.stop; }
    Transfer &transfer() { return m_core.transfer; }
    Verify &verify() { return m_core.verify; }
    ProgramModel &program() { return m_core.program; }
    ControllerStatus &status() { return m_core.status; }
    RunControl &runControl() { return m_runControl; }
    Prompter &prompter() { return m_prompter; }
    AboutForm *aboutForm() const { return m_about.get(); }
    // The traffic monitor, once it has been opened.
    TrafficMonitor *trafficMonitor() const { return m_monitor.get(); }
    // The motion plot's feed (its window once a screen has opened it).
    MotionFeed &motion() { return *m_motion; }
    void showMonitor();
    ProgramEditor &editor() { return *m_editor; }
    ProjectFiles &projects() { return *m_projects; }
    EditHistory &history() { return *m_history; }
    LanguageSwitch &language() { return m_language; }

    // Controls, by their names.
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6;
    QPushButton *Cmd1, *Cmd5, *Cmd3, *Cmd4, *Command9, *Command14, *Command13, *Command12;
    QPushButton *Command5, *Command10, *Command7, *Command6, *Command8;
    QPushButton *Command15;  // "程序校验"
    QPushButton *Command16;  // "通信监视"
    QPushButton *Command1, *Command2, *Command3, *Command4, *Command11, *Cmd6;
    QLineEdit *Text1, *Text3, *Text4;
    DisplayBox *Text5;
    FlexGrid *MSFlexGrid1;
    QComboBox *Combo1;
    QLineEdit *Text2;
    CommPort *MSComm;
    QTimer *Timer1, *Timer2;  // the core's link timers

    // Main-window fields of the grid editor.
    std::int16_t SelectedRow = 0;
    std::int16_t SelectedColumn = 0;

signals:
    // The window has been closed; the tool ends.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildControls();
    void wireCore();
    void onTimer1();
    void showStatus();
    void showCount(double count);
    void showAbout();
    void switchLanguage();
    void saveProgramView();
    void restoreProgramView();

    // Chinese from the start; Qt's own texts in Chinese too.
    LanguageSwitch m_language;
    ToolState &m_state;
    Prompter &m_prompter;
    ToolCore m_core;
    RunControl m_runControl;
    WheelHook *m_wheel;
    std::unique_ptr<AboutForm> m_about;
    std::unique_ptr<TrafficMonitor> m_monitor;
    // The motion plot's feed, made before the screens that open it and destroyed after them.
    std::unique_ptr<MotionFeed> m_motion;
    std::array<std::unique_ptr<SubScreen>, 3> m_screens;
    std::unique_ptr<ProgramEditor> m_editor;
    std::unique_ptr<ProjectFiles> m_projects;
    std::unique_ptr<EditHistory> m_history;
    TransferProgress *m_progress;
    // What the grid and the line-count box showed before an upload began.
    struct ProgramView {
        int rows = 0;
        QStringList cells;
        QString lineCount;
    } m_savedView;
};
