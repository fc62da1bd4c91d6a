// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Undo and redo of the edits made in the program grid: a value stored with ENTER, a category
// or command chosen, a line inserted, deleted or pasted. An edit is kept as the record bytes it
// changed, before and after, with the line count and the selected cell; undo and redo put one
// side back and show it, rendered from the records in the language in use. The count word
// of the image is not part of an edit: saving and the controller write it, never the grid.
//
// Ctrl+Z undoes, Ctrl+Y and Ctrl+Shift+Z redo, wherever the focus is in the main window. In a
// text box with typing to undo (or redo), the key is the box's own first.
#include <QObject>
#include <QStringList>
#include <QUndoStack>
#include <optional>

#include "editor/ProgramEditor.h"

class ProgramModel;
class Prompter;
class QWidget;
struct ToolState;

class EditHistory : public QObject {
    Q_OBJECT
public:
    // The most edits kept.
    static constexpr int Depth = 100;

    // `window` is the main window: its keys and its text boxes.
    EditHistory(ToolState &state, ProgramModel &program, Prompter &prompter, const EditorControls &controls,
                QWidget &window);
    ~EditHistory() override;

    // From the editor: what an edit is about to change, and that it changed the program.
    void begin(ProgramEditor::Change change);
    void commit();

    // Both close an open cell editor first, storing nothing.
    void undo();
    void redo();
    // The program has been replaced (opened, created, cleared, read from the controller):
    // nothing before it can be undone.
    void clear();

    const QUndoStack &stack() const { return m_stack; }

signals:
    // An undo or a redo changed the program.
    void programChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class Step;
    // The records (the image without its count word) and what the window showed of them.
    struct Snapshot {
        QByteArray records;
        double lineCount = 0;
        std::int16_t row = 0;
        std::int16_t column = 0;
    };
    Snapshot capture() const;
    // Writes `s.records` at `offset` of the records and shows the program as it was then.
    void put(ProgramEditor::Change change, int offset, const Snapshot &s);
    void closeCellEditors();

    ToolState &m_state;
    ProgramModel &m_program;
    Prompter &m_prompter;
    EditorControls m_c;
    QUndoStack m_stack;
    std::optional<Snapshot> m_before;
    ProgramEditor::Change m_change = ProgramEditor::Change::Cells;
};
