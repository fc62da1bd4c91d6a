// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Project files: the program image kept on disk byte for byte (12025 bytes: the line count,
// high byte first, then the 24-byte line records), and the four project buttons of the main
// window: new, open, save and clear.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

struct ToolState;
class ProgramModel;
class Prompter;
class FlexGrid;
class Form4;

class ProjectFiles : public QObject {
    Q_OBJECT
public:
    ProjectFiles(ToolState &state, ProgramModel &program, FlexGrid &grid, Prompter &prompter,
                 std::function<void()> hideEditors, QObject *parent = nullptr);
    ~ProjectFiles() override;

    void NewProject();    // "新建工程": shows the new-project window
    void OpenProject();   // "打开工程"
    bool SaveProject();   // "保存工程"; true when the project was written
    void ClearProject();  // "清除工程"
    // "打开工程" of a file named beforehand (a recent project): asks about unsaved work first,
    // as any open does; a file that is gone is reported and nothing changes.
    void OpenProjectFile(const QString &path);

    // The program differs from the one last opened, saved, created, cleared or read from the
    // controller whole: its line count, or any line the grid shows.
    bool changed() const;
    // Before the program is replaced or dropped: when it has changed, asks whether to save it
    // first. False when the user cancels or the save fails: then nothing may go on.
    bool confirmDiscard();

    // What the new-project window asks for once its checks pass: an empty program of `lines`
    // lines, rendered by the main window's next timer tick.
    void CreateProject(const QString &name, int lines);

    // The current project's file name without its folder: the save dialog's initial name.
    QString ProjectFileName;

    Form4 *form4() const;

    static QString fileFilter();
    static constexpr int FilterIndex = 2;

signals:
    // The program has been replaced by a new, an opened or a cleared one.
    void programReplaced();
    // A project file (or a CSV table) has been opened or written.
    void fileUsed(const QString &path);
    // A file named to be opened is not there any more.
    void fileMissing(const QString &path);

private:
    QString choosePath(bool save);
    void openPath(const QString &path);
    // Lines 1 to n as a CSV table; the program's baseline stays.
    bool exportSheet(const QString &path);
    ToolState &m_state;
    ProgramModel &m_program;
    Prompter &m_prompter;
    FlexGrid &m_grid;
    std::function<void()> m_hideEditors;
    std::unique_ptr<Form4> m_form4;
    // Where the file dialogs start: the folder of the project last opened or saved in this
    // run, until then the folder the tool was started from.
    QString m_folder;
};
