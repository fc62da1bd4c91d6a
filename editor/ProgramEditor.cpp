// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/ProgramEditor.h"
#include "ui/KeyAscii.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>
#include <cmath>

#include "editor/ProgramGrid.h"
#include "core/ToolState.h"
#include "core/ProgramRead.h"
#include "core/ProgramModel.h"
#include "ui/Dialogs.h"
#include "ui/FlexGrid.h"
#include "core/NumberText.h"
#include "core/Texts.h"
#include "ui/Messages.h"

namespace {

// The clipboard holds a line once this is set; it is never cleared again.
constexpr std::int16_t ClipboardHoldsLine = 10;

// A box's number as a whole number; far-out values are held to a range no program reaches.
int BoxInteger(const QString &text)
{
    const double v = std::clamp(NumericValue(text), -1e6, 1e6);
    return int(RoundHalfEven(v));
}

const text::Text ProgramFull{QT_TRANSLATE_NOOP("Trelmo", "程序已有500行，不能再插入代码行！")};
const text::Text ParameterRange{QT_TRANSLATE_NOOP("Trelmo", "参数超出范围（-2147483.648 至 2147483.647），输入无效！")};
}  // namespace

ProgramEditor::ProgramEditor(ToolState &state, ProgramModel &program, Prompter &prompter, const EditorControls &controls,
                             QObject *parent)
    : QObject(parent), m_state(state), m_program(program), m_prompter(prompter), m_c(controls)
{
    // The chooser keeps exactly what is typed into it: no completion, and leaving its text
    // box (the list opening, a click elsewhere) is no choice even when the text names an
    // entry. Only a pick from the list or an arrow key chooses.
    m_c.chooser.setCompleter(nullptr);
    m_c.chooser.installEventFilter(this);
    if (QLineEdit *edit = m_c.chooser.lineEdit()) {
        disconnect(edit, &QLineEdit::editingFinished, &m_c.chooser, nullptr);
        edit->installEventFilter(this);
    }
    // Numbers reach the entry box only through its key filter, however they come.
    new KeyPressFilter(&m_c.entry, [this](int &keyAscii) { EntryKey(keyAscii); });
}

// --- Cell editing --------------------------------------------------------------------------

void ProgramEditor::placeOverCell(QWidget &editor)
{
    const QRect cell = m_c.grid.cellRectInParent(m_c.SelectedRow, m_c.SelectedColumn);
    editor.setGeometry(cell);
    editor.show();
    editor.raise();
    editor.setFocus();
}

void ProgramEditor::CellClick()
{
    FlexGrid &grid = m_c.grid;
    m_c.SelectedRow = std::int16_t(grid.currentGridRow());
    m_c.SelectedColumn = std::int16_t(grid.currentGridCol());
    // Whatever editor was open is abandoned.
    program::HideCellEditors(m_c.chooser, m_c.entry);
    if (m_c.SelectedRow < 1 || m_c.SelectedColumn == 0)
        return;
    // No editor opens on a program that is on its way.
    if (RefuseWhileLocked(m_state, m_prompter))
        return;

    const QString cellText = grid.currentText();
    if (m_c.SelectedColumn == 1 || m_c.SelectedColumn == 2) {
        QComboBox &chooser = m_c.chooser;
        placeOverCell(chooser);
        chooser.clear();
        const QStringList names = m_c.SelectedColumn == 1 ? program::CategoryNames()
                                                          : program::CommandNames(grid.textMatrix(m_c.SelectedRow, 1));
        chooser.addItems(names);
        // The box shows what the cell holds; when that is an entry of the list, it is the
        // current one, so that the arrow keys move on from it. Nothing is chosen yet.
        chooser.setCurrentIndex(int(names.indexOf(cellText)));
        chooser.setEditText(cellText);
    } else {
        QLineEdit &entry = m_c.entry;
        entry.setText(cellText);
        placeOverCell(entry);
        // The old value is selected, so that typing replaces it rather than running on.
        entry.selectAll();
    }
}

void ProgramEditor::closeChooser()
{
    m_c.chooser.move(1, 1);
    m_c.chooser.hide();
    m_c.grid.setFocus();
}

void ProgramEditor::closeEntry()
{
    m_c.entry.move(1, 1);
    m_c.entry.hide();
    m_c.grid.setFocus();
}

void ProgramEditor::ChooserChoice()
{
    closeChooser();
    FlexGrid &grid = m_c.grid;
    const QString chosen = m_c.chooser.currentText();
    if (chosen == grid.currentText())
        return;
    emit aboutToChange(Change::Cells);
    grid.setCurrentText(chosen);

    const int row = m_c.SelectedRow;
    std::uint8_t *record = program::Record(m_state.ProgramImage, row);
    bool changed = false;
    auto set = [&changed](std::uint8_t &code, int value) {
        changed = changed || code != value;
        code = std::uint8_t(value);
    };
    if (m_c.SelectedColumn == 1) {
        // A new category invalidates the command; the parameters stay as they are.
        grid.setTextMatrix(row, 2, program::NoneText());
        if (record) {
            set(record[3], 0);
            if (const int category = program::CategoryCode(chosen))
                set(record[1], category);
        }
    } else if (m_c.SelectedColumn == 2) {
        const int command = program::CommandCode(grid.textMatrix(row, 1), chosen);
        if (record && command)
            set(record[3], command);
    }
    if (changed)
        emit programChanged();
}

void ProgramEditor::ChooserKey(int keyAscii)
{
    if (keyAscii != Enter && keyAscii != Escape)
        return;
    // Typed text goes into the cell as it stands; only a choice from the list sets codes.
    closeChooser();
    m_c.grid.setCurrentText(m_c.chooser.currentText());
}

void ProgramEditor::EntryKey(int &keyAscii)
{
    if (keyAscii >= '/' && keyAscii <= '9')
        return;
    switch (keyAscii) {
    case Escape: closeEntry(); return;
    case Enter: {
        // A number the record cannot hold is refused before anything changes.
        if (!program::EncodeParameter(NumericValue(m_c.entry.text()))) {
            closeEntry();
            m_prompter.message(ParameterRange());
            return;
        }
        emit aboutToChange(Change::Cells);
        m_c.grid.setCurrentText(m_c.entry.text());
        closeEntry();
        StoreParameterValue();
        emit programChanged();
        return;
    }
    case '.':
    case '-':
    case Backspace: return;
    default: keyAscii = 0;
    }
}

void ProgramEditor::StoreParameterValue()
{
    const int k = m_c.SelectedColumn - 2;
    std::uint8_t *record = program::Record(m_state.ProgramImage, m_c.SelectedRow);
    if (!record || k < 1 || k > program::ParameterCount)
        return;
    if (const auto value = program::EncodeParameter(NumericValue(m_c.entry.text())))
        program::WriteParameter(record, k, *value);
}

bool ProgramEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int typed = KeyAscii(*static_cast<QKeyEvent *>(event));
        if (typed == Enter || typed == Escape) {
            ChooserKey(typed);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

// --- Line operations -----------------------------------------------------------------------

int ProgramEditor::lineCount() const
{
    return m_program.lines();
}

int ProgramEditor::selectedLine() const
{
    return BoxInteger(m_c.selectedRow.text());
}

void ProgramEditor::refresh(int lines)
{
    m_program.copyToDisplay();
    m_program.render(lines, 1);
}

namespace {
// Record `to` := record `from` when the image holds both (a missing source reads as empty).
void MoveRecord(ProgramBytes &image, int to, int from)
{
    std::uint8_t *dst = program::Record(image, to);
    if (!dst)
        return;
    if (const std::uint8_t *src = program::Record(image, from))
        std::copy(src, src + program::RecordSize, dst);
    else
        std::fill(dst, dst + program::RecordSize, 0);
}

void SetRecord(ProgramBytes &image, int line, const std::uint8_t *bytes)
{
    if (std::uint8_t *dst = program::Record(image, line))
        std::copy(bytes, bytes + program::RecordSize, dst);
}
}  // namespace

void ProgramEditor::insertRecord(const std::uint8_t *bytes)
{
    if (RefuseWhileLocked(m_state, m_prompter))
        return;
    const int n = lineCount();
    const int r = selectedLine();
    if (n > program::MaxLines) {
        m_prompter.message(text::BadLineCount());
        return;
    }
    if (!((r >= 1 && r < n) || (r == n && n >= 0))) {
        m_prompter.message(text::InvalidLine());
        return;
    }
    // The image ends after line 500: there is nowhere to put line 501.
    if (n >= program::MaxLines) {
        m_prompter.message(ProgramFull());
        return;
    }
    emit aboutToChange(Change::Lines);
    ProgramBytes &image = m_state.ProgramImage;
    if (r < n) {
        for (int i = n - 1; i >= m_c.SelectedRow; --i) {
            MoveRecord(image, i + 2, i + 1);
            SetRecord(image, i + 1, bytes);
        }
    } else {
        SetRecord(image, n + 1, bytes);
    }
    m_program.setCount(n + 1);
    program::RebuildGrid(m_c.grid, n + 1);
    refresh(n + 1);
    m_c.SelectedRow = std::int16_t(m_c.SelectedRow + 1);
    emit programChanged();
}

void ProgramEditor::InsertLine()
{
    program::HideCellEditors(m_c.chooser, m_c.entry);
    const std::array<std::uint8_t, program::RecordSize> empty{};
    insertRecord(empty.data());
}

void ProgramEditor::PasteLine()
{
    program::HideCellEditors(m_c.chooser, m_c.entry);
    if (ClipboardFull != ClipboardHoldsLine)
        return;
    insertRecord(LineClipboard.data());
}

void ProgramEditor::CopyLine()
{
    program::HideCellEditors(m_c.chooser, m_c.entry);
    const int n = lineCount();
    const int r = selectedLine();
    const std::uint8_t *record = program::Record(m_state.ProgramImage, r);
    if (r < 1 || r > n || !record) {
        m_prompter.message(text::InvalidLine());
        return;
    }
    std::copy(record, record + program::RecordSize, LineClipboard.begin());
    ClipboardFull = ClipboardHoldsLine;
}

void ProgramEditor::DeleteLine()
{
    program::HideCellEditors(m_c.chooser, m_c.entry);
    if (RefuseWhileLocked(m_state, m_prompter))
        return;
    const int n = lineCount();
    const int r = selectedLine();
    if (n > program::MaxLines) {
        m_prompter.message(text::BadLineCount());
        return;
    }
    if (r < 1 || r > n) {
        m_prompter.message(text::InvalidLine());
        return;
    }
    emit aboutToChange(Change::Lines);
    if (r < n) {
        // The old last record stays in the image, past the new count.
        for (int i = m_c.SelectedRow; i <= n - 1; ++i)
            MoveRecord(m_state.ProgramImage, i, i + 1);
    } else {
        m_c.SelectedRow = std::int16_t(m_c.SelectedRow - 1);
    }
    m_program.setCount(n - 1);
    program::RebuildGrid(m_c.grid, n - 1);
    refresh(n - 1);
    emit programChanged();
}
