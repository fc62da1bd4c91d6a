#pragma once
// The main window: the program grid, the connection, the transfers and the run-control
// commands. It owns the serial port and the two link timers for the whole run; closing it
// ends the tool with every other window.
#include <QMainWindow>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

#include "link/Connection.h"
#include "link/EmergencyStop.h"
#include "link/LinkState.h"
#include "link/MainView.h"
#include "link/ModbusLink.h"
#include "link/ReceiveHandler.h"
#include "mainwindow/RunControl.h"
#include "projects/Transfer.h"
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
class WheelHook;
class ProgramEditor;
class ProjectFiles;
class EditHistory;
class TransferProgress;

class Mainfrm : public QMainWindow, public MainView {
    Q_OBJECT
public:
    // `catalogue` gives the devices that port numbers 1 to 20 stand for; it is asked afresh at
    // every connect.
    Mainfrm(LinkState &state, Prompter &prompter, std::function<QStringList()> catalogue, QWidget *parent = nullptr);
    // A fixed list of devices.
    Mainfrm(LinkState &state, Prompter &prompter, const QStringList &devices, QWidget *parent = nullptr);
    ~Mainfrm() override;

    // Start-up: grid layout, port scan and handshake, timers.
    void Form_Load();

    // MainView
    void HideCellEditors() override;
    void setTimerEnabled(int timer, bool on) override;
    bool timerEnabled(int timer) const override;
    QString text(Field field) const override;
    void setText(Field field, const QString &text) override;
    void setButtonColor(Button button, const QColor &color) override;
    void setReadButtonEnabled(bool on) override;
    void layoutProgramRows(int lines) override;
    void RenderLines(int count, int block) override;
    void saveProgramView() override;
    void restoreProgramView() override;

    // Lays out the grid's columns, alignment and header texts (row count untouched).
    void layoutGridColumns();

    LinkState &state() { return m_state; }
    CommPort &port() { return *MSComm; }
    ModbusLink &link() { return m_link; }
    Connection &connection() { return m_connection; }
    ReceiveHandler &receiveHandler() { return m_receive; }
    EmergencyStop &emergencyStop() { return m_stop; }
    Transfer &transfer() { return m_transfer; }
    RunControl &runControl() { return m_runControl; }
    Prompter &prompter() { return m_prompter; }
    AboutForm *aboutForm() const { return m_about.get(); }
    ProgramEditor &editor() { return *m_editor; }
    ProjectFiles &projects() { return *m_projects; }
    EditHistory &history() { return *m_history; }
    LanguageSwitch &language() { return m_language; }

    // Controls, by their names.
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6;
    QPushButton *Cmd1, *Cmd5, *Cmd3, *Cmd4, *Command9, *Command14, *Command13, *Command12;
    QPushButton *Command5, *Command10, *Command7, *Command6, *Command8;
    QPushButton *Command1, *Command2, *Command3, *Command4, *Command11, *Cmd6;
    QLineEdit *Text1, *Text3, *Text4;
    DisplayBox *Text5;
    FlexGrid *MSFlexGrid1;
    QComboBox *Combo1;
    QLineEdit *Text2;
    CommPort *MSComm;
    QTimer *Timer1, *Timer2;

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
    QWidget *field(Field f) const;
    void onTimer1();
    void onTimer2();
    void onPortFailed();
    void showAbout();
    void switchLanguage();

    // Chinese from the start; Qt's own texts in Chinese too.
    LanguageSwitch m_language;
    LinkState &m_state;
    Prompter &m_prompter;
    LinkContext m_ctx;
    ModbusLink m_link;
    EmergencyStop m_stop;
    Connection m_connection;
    ReceiveHandler m_receive;
    Transfer m_transfer;
    RunControl m_runControl;
    WheelHook *m_wheel;
    std::unique_ptr<AboutForm> m_about;
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
