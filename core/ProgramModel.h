// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program in the tool: the program image (the count word and the 24-byte records, the
// project file byte for byte), the display image the grid's texts are rendered from, and the line
// count the user works with. The line count is a number: the numeric value of what the line-count
// box holds, parsed by one rule. Nothing else reads the box.
//
// The unsaved mark is the program against its baseline: the line count and the lines as they
// were when the program was last opened, saved, read whole from the controller, created or
// cleared.
#include <QByteArray>
#include <QObject>
#include <QString>

#include "core/ToolState.h"

class ProgramModel : public QObject {
    Q_OBJECT
public:
    explicit ProgramModel(ToolState &state) : m_state(state) {}

    ProgramBytes &image() { return m_state.ProgramImage; }
    const ProgramBytes &image() const { return m_state.ProgramImage; }
    ProgramBytes &display() { return m_state.DisplayImage; }

    // The line count as the box holds it (a whole number unless the user typed otherwise), and
    // rounded to a whole number of lines, halves to even.
    double count() const { return m_count; }
    int lines() const;
    // The program takes a line count: the box shows it.
    void setCount(double count);
    // The user typed a line count into the box.
    void takeTyped(double count) { m_count = count; }
    // The one rule: the leading decimal number of the text, 0 when there is none, held to a range
    // that no program reaches.
    static double Parse(const QString &text);
    // The count word of the image: `lines`, high byte first.
    void setCountWord(int lines);

    // The grid is to show a program of `lines` lines (one numbered row each), and the texts of
    // `count` records from the start of the display image in the rows of block `block`.
    void layOutRows(int lines) { emit rowsLaidOut(lines); }
    void render(int count, int block) { emit rendered(count, block); }
    // Copies the records into the display image: DisplayImage[i - 2] = ProgramImage[i].
    void copyToDisplay();

    // The program as it stands is the one on disk or in the controller.
    void setBaseline();
    // The program differs from its baseline: its line count, or any of its lines, or of the
    // `shownLines` lines the grid shows.
    bool changed(int shownLines = 0) const;

signals:
    // The program has set its line count (it may be the one it had).
    void countChanged(double count);
    void rowsLaidOut(int lines);
    void rendered(int count, int block);

private:
    ToolState &m_state;
    double m_count = 0;
    struct Baseline {
        double count = 0;
        QByteArray records;
    } m_baseline;
};
