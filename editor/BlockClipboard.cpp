// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/BlockClipboard.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>

#include "core/ProgramCsv.h"
#include "core/ProgramModel.h"
#include "ui/Messages.h"
#include "ui/Prompter.h"
#include "core/Texts.h"
#include "editor/LineSelection.h"
#include "editor/ProgramGrid.h"
#include "core/ProgramRead.h"
#include "ui/FlexGrid.h"

namespace {
const text::Text NotAProgram{QT_TRANSLATE_NOOP("Trelmo", "剪贴板中的内容不是程序，没有粘贴：")};
const text::Text NothingToPaste{QT_TRANSLATE_NOOP("Trelmo", "剪贴板中没有代码行！")};
const text::Text TooManyLines{QT_TRANSLATE_NOOP("Trelmo", "粘贴后将有 %1 行，一个程序最多 500 行，没有粘贴！")};

enum class Key { Other, Copy, Cut, Paste, Delete };
Key BlockKey(const QKeyEvent &e)
{
    if (e.matches(QKeySequence::Copy))
        return Key::Copy;
    if (e.matches(QKeySequence::Cut))
        return Key::Cut;
    if (e.matches(QKeySequence::Paste))
        return Key::Paste;
    return e.key() == Qt::Key_Delete && e.modifiers() == Qt::NoModifier ? Key::Delete : Key::Other;
}
}  // namespace

const char *const BlockClipboard::RecordsType = "application/x-trelmo-lines";

BlockClipboard::BlockClipboard(ToolState &state, ProgramModel &program, Prompter &prompter,
                               const EditorControls &controls, LineSelection &lines, QObject *parent)
    : QObject(parent), m_state(state), m_program(program), m_prompter(prompter), m_c(controls), m_lines(lines)
{
    m_c.grid.installEventFilter(this);
}

bool BlockClipboard::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);
    const Key key = BlockKey(*static_cast<QKeyEvent *>(event));
    // Lines selected by their numbers, or a paste into a program without lines; every other key
    // is the grid's as before.
    const bool lines = m_lines.active() || (key == Key::Paste && m_program.lines() == 0);
    if (key == Key::Other || !lines)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    switch (key) {
    case Key::Copy: copy(); break;
    case Key::Cut: cut(); break;
    case Key::Paste: paste(); break;
    default: remove(); break;
    }
    return true;
}

bool BlockClipboard::selectedLines(int &first, int &last)
{
    first = m_lines.first();
    last = m_lines.last();
    if (m_lines.active() && first >= 1 && last <= m_program.lines())
        return true;
    m_prompter.message(text::InvalidLine());
    return false;
}

bool BlockClipboard::mayChange()
{
    program::HideCellEditors(m_c.chooser, m_c.entry);
    if (RefuseWhileLocked(m_state, m_prompter))
        return false;
    if (m_program.lines() > program::MaxLines) {
        m_prompter.message(text::BadLineCount());
        return false;
    }
    return true;
}

void BlockClipboard::copy()
{
    int first = 0, last = 0;
    if (!selectedLines(first, last))
        return;
    const std::uint8_t *records = program::Record(m_state.ProgramImage, first);
    const int count = last - first + 1;
    auto *data = new QMimeData;
    data->setData(QString::fromLatin1(RecordsType),
                  QByteArray(reinterpret_cast<const char *>(records), count * program::RecordSize));
    data->setText(sheet::Write(records, count, sheet::CopyLayout()));
    QGuiApplication::clipboard()->setMimeData(data);
}

void BlockClipboard::cut()
{
    int first = 0, last = 0;
    if (mayChange() && selectedLines(first, last)) {
        copy();
        remove();
    }
}

void BlockClipboard::remove()
{
    int first = 0, last = 0;
    if (!mayChange() || !selectedLines(first, last))
        return;
    const int n = m_program.lines();
    const int count = last - first + 1;
    emit aboutToChange(ProgramEditor::Change::Lines);
    program::RemoveLines(m_state.ProgramImage, n, first, count);
    // As a line deleted: the line that followed is selected, or the new last one.
    m_c.SelectedRow = std::int16_t(last < n ? first : first - 1);
    show(n - count);
    emit programChanged();
}

std::optional<QByteArray> BlockClipboard::clipboardLines(int room)
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    const QByteArray records = data ? data->data(QString::fromLatin1(RecordsType)) : QByteArray();
    sheet::Reading reading;
    int lines = 0;
    if (!records.isEmpty() && records.size() % program::RecordSize == 0) {
        reading.records = records;
        lines = reading.lines();
    } else if (data && data->hasText()) {
        reading = sheet::Read(data->text(), sheet::Separator::Tab, room);
        lines = reading.found;
    }
    if (lines > room) {
        m_prompter.message(TooManyLines(program::MaxLines - room + lines));
        return std::nullopt;
    }
    if (!reading.problems.isEmpty()) {
        m_prompter.message(NotAProgram() + u'\n' + sheet::Report(reading.problems));
        return std::nullopt;
    }
    if (reading.lines() == 0) {
        m_prompter.message(NothingToPaste());
        return std::nullopt;
    }
    return reading.records;
}

void BlockClipboard::paste()
{
    if (!mayChange())
        return;
    const int n = m_program.lines();
    int first = 0, after = 0;
    if (n != 0 && !selectedLines(first, after))
        return;
    const std::optional<QByteArray> records = clipboardLines(program::MaxLines - n);
    if (!records)
        return;
    const int count = int(records->size() / program::RecordSize);
    emit aboutToChange(ProgramEditor::Change::Lines);
    program::InsertLines(m_state.ProgramImage, n, after, reinterpret_cast<const std::uint8_t *>(records->constData()),
                         count);
    show(n + count);
    // The lines pasted are selected, the last of them the selected line: the next paste follows.
    m_lines.select(after + 1, after + count);
    m_c.grid.scrollTo(m_c.grid.model()->index(after, 0));
    emit programChanged();
}

// The program of `lines` lines laid out afresh and rendered from its records, as the line
// buttons leave it.
void BlockClipboard::show(int lines)
{
    m_program.setCount(lines);
    program::RebuildGrid(m_c.grid, lines);
    m_program.copyToDisplay();
    const FlexGrid::TextBatch batch(m_c.grid);
    m_program.render(lines, 1);
}
