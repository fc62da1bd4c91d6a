// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Lines selected by their numbers, moved as blocks through the system clipboard: Ctrl+C copies
// them, Ctrl+X cuts them, Delete removes them, Ctrl+V pastes after the last of them. A copy goes
// onto the clipboard twice: as the tool's own 24-byte records, byte for byte, and as
// tab-separated text that a spreadsheet takes. A paste takes the records when the clipboard holds
// them, else text from a spreadsheet; a text that is no program is refused with the row and
// column that is wrong, and nothing changes. Each change is one step of undo.
//
// The keys are the grid's own while no lines are selected by their numbers (a cell clicked);
// the entry box and the chooser keep theirs. The four line buttons and their one-line clipboard
// are not touched.
#include <QObject>
#include <QByteArray>

#include "editor/ProgramEditor.h"

class LineSelection;

class BlockClipboard : public QObject {
    Q_OBJECT
public:
    // What the clipboard calls the records.
    static const char *const RecordsType;

    BlockClipboard(ToolState &state, ProgramModel &program, Prompter &prompter, const EditorControls &controls,
                   LineSelection &lines, QObject *parent = nullptr);

    void copy();
    void cut();
    // After the last selected line, or into an empty program.
    void paste();
    void remove();

signals:
    // As the editor's, for the history of edits.
    void aboutToChange(ProgramEditor::Change change);
    void programChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The selected lines, when they are lines of the program; otherwise says so.
    bool selectedLines(int &first, int &last);
    // The program may change now and has a line count the image can hold; otherwise says why.
    bool mayChange();
    // The lines the clipboard holds, at most `room` of them, or nothing (the user has been told).
    std::optional<QByteArray> clipboardLines(int room);
    void show(int lines);

    ToolState &m_state;
    ProgramModel &m_program;
    Prompter &m_prompter;
    EditorControls m_c;
    LineSelection &m_lines;
};
