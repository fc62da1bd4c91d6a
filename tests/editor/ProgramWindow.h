#pragma once
// The main window on the offscreen screen, laid out as start-up lays it out, with helpers to
// put a program into it and to click its cells as the user does.
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <initializer_list>

#include "RecordingPrompter.h"
#include "editor/Instructions.h"
#include "editor/ProgramGrid.h"
#include "link/LinkState.h"
#include "mainwindow/Mainfrm.h"
#include "ui/FlexGrid.h"

struct ProgramWindow {
    LinkState state;
    RecordingPrompter prompter;
    Mainfrm w{state, prompter, QStringList{}};
    FlexGrid &grid = *w.MSFlexGrid1;

    ProgramWindow()
    {
        w.show();
        // Start-up's grid: room for 500 lines, 400-twip rows, the column titles.
        grid.setRows(program::MaxLines + 1);
        w.layoutGridColumns();
        for (int r = 0; r <= program::MaxLines; ++r)
            grid.setRowHeightTwips(r, 400);
    }

    // Record `line` with these codes and parameters (in thousandths).
    void setRecord(int line, int category, int command, std::initializer_list<std::int32_t> parameters = {})
    {
        std::uint8_t *r = program::Record(state.ProgramImage, line);
        std::fill(r, r + program::RecordSize, 0);
        r[1] = std::uint8_t(category);
        r[3] = std::uint8_t(command);
        int k = 1;
        for (std::int32_t p : parameters)
            program::WriteParameter(r, k++, p);
    }
    // Lines 1..n each marked by their own number: category 1, command (n % 8) + 1, parameter 1
    // = the line number, parameter 5 = minus the line number.
    void setNumberedRecords(int lines)
    {
        for (int line = 1; line <= lines; ++line)
            setRecord(line, 1, line % 8 + 1, {line * 1000, 0, 0, 0, -line * 1000});
    }
    QByteArray record(int line) const
    {
        const std::uint8_t *r = program::Record(state.ProgramImage, line);
        return QByteArray(reinterpret_cast<const char *>(r), program::RecordSize);
    }
    // Shows the program of `lines` lines held in the image, as opening a project does.
    void showProgram(int lines)
    {
        w.Text1->setText(QString::number(lines));
        program::RebuildGrid(grid, lines);
        program::CopyToDisplay(state.ProgramImage, state.DisplayImage);
        w.RenderLines(lines, 1);
    }
    QStringList rowTexts(int row) const
    {
        QStringList texts;
        for (int c = 1; c < FlexGrid::Cols; ++c)
            texts << grid.textMatrix(row, c);
        return texts;
    }

    // A real mouse click on a cell: data cells in the viewport, line numbers in the vertical
    // header, column titles in the horizontal header.
    void clickCell(int row, int col)
    {
        if (row >= 1)
            grid.scrollTo(grid.model()->index(row - 1, std::max(col - 1, 0)));
        if (row == 0) {
            QHeaderView *h = grid.horizontalHeader();
            const int x = h->sectionViewportPosition(col - 1) + h->sectionSize(col - 1) / 2;
            QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(x, h->height() / 2));
        } else if (col == 0) {
            QHeaderView *h = grid.verticalHeader();
            const int y = h->sectionViewportPosition(row - 1) + h->sectionSize(row - 1) / 2;
            QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->width() / 2, y));
        } else {
            const QRect cell = grid.visualRect(grid.model()->index(row - 1, col - 1));
            QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
        }
    }
    // Selects a line by its number and waits until the main window's timer shows it in Text3,
    // where the line buttons read it.
    bool selectLine(int line)
    {
        w.Timer1->start();
        clickCell(line, 0);
        return QTest::qWaitFor([&] { return w.Text3->text() == QString::number(line); });
    }
};

inline QByteArray zeroRecord()
{
    return QByteArray(program::RecordSize, '\0');
}
