// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/EditHistory.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QShortcut>
#include <QUndoCommand>
#include <algorithm>
#include <utility>

#include "editor/ProgramGrid.h"
#include "editor/LineRenderer.h"
#include "core/ToolState.h"
#include "core/ProgramRead.h"
#include "core/ProgramModel.h"
#include "ui/FlexGrid.h"
#include "core/NumberText.h"
#include "ui/Messages.h"

namespace {
const QKeySequence UndoKey(Qt::CTRL | Qt::Key_Z);
const QList<QKeySequence> RedoKeys{QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)};

enum class Key { Other, Undo, Redo };
Key HistoryKey(const QKeyEvent &e)
{
    const QKeySequence pressed(e.keyCombination());
    if (pressed == UndoKey)
        return Key::Undo;
    return RedoKeys.contains(pressed) ? Key::Redo : Key::Other;
}

constexpr int RecordsSize = program::ImageSize - program::CountWordSize;
}  // namespace

// One edit: the span of records it changed, as it was and as it became.
class EditHistory::Step : public QUndoCommand {
public:
    Step(EditHistory &history, ProgramEditor::Change change, int offset, Snapshot before, Snapshot after)
        : m_history(history), m_change(change), m_offset(offset), m_before(std::move(before)), m_after(std::move(after))
    {}
    void undo() override { m_history.put(m_change, m_offset, m_before); }
    void redo() override
    {
        // Pushed once the edit is done: the first redo has nothing to do.
        if (!std::exchange(m_pushed, false))
            m_history.put(m_change, m_offset, m_after);
    }

private:
    EditHistory &m_history;
    ProgramEditor::Change m_change;
    int m_offset;
    Snapshot m_before;
    Snapshot m_after;
    bool m_pushed = true;
};

EditHistory::EditHistory(ToolState &state, ProgramModel &program, Prompter &prompter, const EditorControls &controls,
                         QWidget &window)
    : m_state(state), m_program(program), m_prompter(prompter), m_c(controls)
{
    m_stack.setUndoLimit(Depth);
    auto *undoKey = new QShortcut(UndoKey, &window);
    connect(undoKey, &QShortcut::activated, this, &EditHistory::undo);
    auto *redoKey = new QShortcut(&window);
    redoKey->setKeys(RedoKeys);
    connect(redoKey, &QShortcut::activated, this, &EditHistory::redo);
    // The text boxes' own undo comes first while they have typing to undo.
    for (QLineEdit *box : window.findChildren<QLineEdit *>())
        box->installEventFilter(this);
    for (QComboBox *box : window.findChildren<QComboBox *>())
        box->installEventFilter(this);
}

EditHistory::~EditHistory() = default;

EditHistory::Snapshot EditHistory::capture() const
{
    Snapshot s;
    s.records =
        QByteArray(reinterpret_cast<const char *>(m_state.ProgramImage.data()) + program::CountWordSize, RecordsSize);
    s.lineCount = m_program.count();
    s.row = m_c.SelectedRow;
    s.column = m_c.SelectedColumn;
    return s;
}

void EditHistory::begin(ProgramEditor::Change change)
{
    m_change = change;
    m_before = capture();
}

void EditHistory::commit()
{
    if (!m_before)
        return;
    Snapshot before = std::move(*m_before);
    m_before.reset();
    Snapshot after = capture();
    // Only the span of records that differ is kept.
    const auto [first, last] = std::mismatch(before.records.cbegin(), before.records.cend(), after.records.cbegin());
    const int from = int(first - before.records.cbegin());
    int to = RecordsSize;
    while (to > from && before.records[to - 1] == after.records[to - 1])
        --to;
    // An edit that left the program as it was (a value typed over itself) is no step.
    if (from == to && before.lineCount == after.lineCount)
        return;
    before.records = before.records.mid(from, to - from);
    after.records = after.records.mid(from, to - from);
    m_stack.push(new Step(*this, m_change, from, std::move(before), std::move(after)));
}

void EditHistory::put(ProgramEditor::Change change, int offset, const Snapshot &s)
{
    std::copy(s.records.cbegin(), s.records.cend(), m_state.ProgramImage.begin() + program::CountWordSize + offset);
    m_c.SelectedRow = s.row;
    m_c.SelectedColumn = s.column;
    FlexGrid &grid = m_c.grid;
    if (change == ProgramEditor::Change::Cells) {
        // The line rendered from its record, in the language in use; the rest of the grid and
        // the display image were not part of the edit.
        if (const std::uint8_t *record = program::Record(m_state.ProgramImage, s.row))
            RenderLine(grid, record, s.row);
        grid.setCurrentCell(s.row, s.column);
    } else {
        // As the line operations leave it: laid out afresh, every line rendered from its record.
        const int lines = std::clamp(int(RoundHalfEven(s.lineCount)), 0, program::MaxLines);
        m_program.setCount(s.lineCount);
        program::RebuildGrid(grid, lines);
        m_program.copyToDisplay();
        m_program.render(lines, 1);
        if (s.row >= 1 && s.row <= lines)
            grid.scrollTo(grid.model()->index(s.row - 1, 0));
    }
    emit programChanged();
}

void EditHistory::closeCellEditors()
{
    const bool open = !m_c.entry.isHidden() || !m_c.chooser.isHidden();
    program::HideCellEditors(m_c.chooser, m_c.entry);
    if (open)
        m_c.grid.setFocus();
}

void EditHistory::undo()
{
    closeCellEditors();
    if (!RefuseWhileLocked(m_state, m_prompter))
        m_stack.undo();
}

void EditHistory::redo()
{
    closeCellEditors();
    if (!RefuseWhileLocked(m_state, m_prompter))
        m_stack.redo();
}

void EditHistory::clear()
{
    m_stack.clear();
}

bool EditHistory::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const Key key = HistoryKey(*static_cast<QKeyEvent *>(event));
    auto *box = qobject_cast<QLineEdit *>(watched);
    if (auto *combo = qobject_cast<QComboBox *>(watched))
        box = combo->lineEdit();
    if (key == Key::Other || !box)
        return QObject::eventFilter(watched, event);
    const bool typing = !box->isReadOnly() && (key == Key::Undo ? box->isUndoAvailable() : box->isRedoAvailable());
    if (event->type() == QEvent::ShortcutOverride) {
        // Taken here, the key comes to the box as a key press; left, it is the history's.
        event->setAccepted(typing);
        return true;
    }
    if (typing)
        key == Key::Undo ? box->undo() : box->redo();
    return true;
}
