// SPDX-License-Identifier: GPL-3.0-or-later
#include "Spreadsheet.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>

#include "core/ProgramCsv.h"
#include "core/ProjectFile.h"
#include "editor/EditHistory.h"
#include "core/ToolState.h"
#include "mainwindow/Mainfrm.h"
#include "ui/FlexGrid.h"

namespace {
constexpr int Rounds = 10;

class OpeningPrompter : public SilentPrompter {
public:
    QString path;
    QString openFileName(const FileDialogRequest &) override { return path; }
};

Row timed(const QString &what, const std::vector<double> &ms, const QString &how)
{
    const auto [lo, hi] = std::minmax_element(ms.begin(), ms.end());
    return Row{what, QStringLiteral("%1 ms").arg(Median(ms), 0, 'f', 1),
               QStringLiteral("median of %1 (%2 to %3 ms); %4")
                   .arg(ms.size())
                   .arg(*lo, 0, 'f', 1)
                   .arg(*hi, 0, 'f', 1)
                   .arg(how)};
}
}  // namespace

QList<Row> MeasureSpreadsheet(const QString &programFile)
{
    const std::optional<project::Contents> contents = project::Read(programFile);
    if (!contents)
        return {Row{QStringLiteral("paste and import, 500 lines"), QStringLiteral("-"), QStringLiteral("no program")}};
    ProgramBytes image{};
    project::Apply(*contents, image);
    // Two tables of the same lines in other orders, so that every import renders every row anew.
    ProgramBytes reversed = image;
    for (int line = 1; line <= program::MaxLines; ++line)
        std::copy_n(program::Record(image, line), program::RecordSize, program::Record(reversed, 501 - line));
    QTemporaryDir dir;
    const QString tables[] = {dir.filePath(QStringLiteral("a.csv")), dir.filePath(QStringLiteral("b.csv"))};
    if (!sheet::WriteFile(tables[0], image, program::MaxLines) ||
        !sheet::WriteFile(tables[1], reversed, program::MaxLines))
        return {Row{QStringLiteral("paste and import, 500 lines"), QStringLiteral("-"), QStringLiteral("no table")}};

    ToolState state;
    OpeningPrompter prompter;
    Mainfrm window(state, prompter, QStringList{});
    window.show();
    window.Form_Load();
    FlexGrid &grid = *window.MSFlexGrid1;
    window.Text1->setText(QStringLiteral("0"));
    grid.setFocus();
    QCoreApplication::processEvents();

    std::vector<double> paste, import;
    bool pasted = true, imported = true;
    const QString text = sheet::Write(image.data() + program::CountWordSize, program::MaxLines, sheet::CopyLayout());
    for (int i = 0; i < Rounds; ++i) {
        // Into a program without lines, as the user's Ctrl+V on the grid.
        QGuiApplication::clipboard()->setText(text);
        QKeyEvent key(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, QStringLiteral("\x16"));
        const double t0 = nowMs();
        QCoreApplication::sendEvent(&grid, &key);
        window.repaint();
        paste.push_back(nowMs() - t0);
        pasted = pasted && window.program().lines() == program::MaxLines;
        QCoreApplication::processEvents();
        window.history().undo();
        QCoreApplication::processEvents();
    }
    for (int i = 0; i < Rounds; ++i) {
        prompter.path = tables[i % 2];
        const double t0 = nowMs();
        window.Command10->click();
        window.repaint();
        import.push_back(nowMs() - t0);
        const std::uint8_t *first = program::Record(i % 2 ? reversed : image, 1);
        imported = imported && window.program().lines() == program::MaxLines &&
                   std::equal(first, first + program::RecordSize, program::Record(state.ProgramImage, 1));
        QCoreApplication::processEvents();
    }
    return {pasted ? timed(QStringLiteral("paste 500 lines of a spreadsheet's text"), paste,
                           QStringLiteral("Ctrl+V on the grid of a program without lines, the text read, the "
                                          "lines stored, rendered and painted; undone between rounds"))
                   : Row{QStringLiteral("paste 500 lines"), QStringLiteral("-"), prompter.messages.join(u' ')},
            imported
                ? timed(QStringLiteral("import a 500-line CSV table"), import,
                        QStringLiteral("\"打开工程\" with the file chosen: read, decoded, checked, stored, "
                                       "rendered and painted; two tables of the same lines in other orders in turn"))
                : Row{QStringLiteral("import 500 lines"), QStringLiteral("-"), prompter.messages.join(u' ')}};
}
