// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "ui/KeyAscii.h"
// Editing the program in the grid: the chooser and the entry box laid over a clicked cell,
// and the whole-line operations insert, delete, copy and paste with a one-line clipboard.
// Every change goes to the program image at the same moment as to the grid.
#include <QObject>
#include <array>
#include <cstdint>

#include "core/Instructions.h"

class FlexGrid;
struct ToolState;
class ProgramModel;
class Prompter;
class QComboBox;
class QLineEdit;

// The main-window controls and fields the editor works on.
struct EditorControls {
    FlexGrid &grid;          // MSFlexGrid1
    QComboBox &chooser;      // Combo1
    QLineEdit &entry;        // Text2
    QLineEdit &selectedRow;  // Text3, refreshed from SelectedRow by the main window's timer
    std::int16_t &SelectedRow;
    std::int16_t &SelectedColumn;
};

class ProgramEditor : public QObject {
    Q_OBJECT
public:
    static constexpr int Enter = keys::Enter;
    static constexpr int Escape = keys::Escape;
    static constexpr int Backspace = keys::Backspace;

    ProgramEditor(ToolState &state, ProgramModel &program, Prompter &prompter, const EditorControls &controls,
                  QObject *parent = nullptr);

    // Cell editing.
    void CellClick();
    void ChooserChoice();
    void ChooserKey(int keyAscii);
    // May discard the key by setting it to 0.
    void EntryKey(int &keyAscii);
    void StoreParameterValue();

    // Line operations (the four line buttons).
    void InsertLine();
    void DeleteLine();
    void CopyLine();
    void PasteLine();

    const std::array<std::uint8_t, program::RecordSize> &lineClipboard() const { return LineClipboard; }
    std::int16_t clipboardFull() const { return ClipboardFull; }

    // What an edit changes: cells of the selected line (a stored value, a choice), or whole
    // lines, after which the grid is laid out and rendered again (insert, delete, paste).
    enum class Change { Cells, Lines };

signals:
    // An edit is about to change the program; programChanged follows when it did.
    void aboutToChange(ProgramEditor::Change change);
    // The program was edited: a value stored, a choice that changed a record, a line
    // inserted, deleted or pasted.
    void programChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeOverCell(QWidget &editor);
    void closeChooser();
    void closeEntry();
    // The line count and the selected line in Text3, as whole numbers.
    int lineCount() const;
    int selectedLine() const;
    // Insert and paste: a new line after the selected one, holding `record`.
    void insertRecord(const std::uint8_t *record);
    void refresh(int lines);

    ToolState &m_state;
    ProgramModel &m_program;
    Prompter &m_prompter;
    EditorControls m_c;

    std::array<std::uint8_t, program::RecordSize> LineClipboard{};
    std::int16_t ClipboardFull = 0;
};
