// SPDX-License-Identifier: GPL-3.0-or-later
// trelmo-cli convert A B: a project file to a CSV table, or a CSV table to a project file, told
// apart by the extension .csv; the window's own readers and writers on both sides.
#include <QCoreApplication>

#include "cli/Cli.h"
#include "core/ProgramCsv.h"
#include "core/ProjectFile.h"

namespace cli {

namespace {
const text::Text OneCsv{QT_TRANSLATE_NOOP("Trelmo", "convert 需要一个工程文件和一个 .csv 文件：%1 → %2")};
const text::Text NotAProgram{QT_TRANSLATE_NOOP("Trelmo", "不是可用的工程文件或 CSV 表格：%1")};
const text::Text RowsRefused{QT_TRANSLATE_NOOP("Trelmo", "%1 不是程序，没有转换：")};
const text::Text NotWritten{QT_TRANSLATE_NOOP("Trelmo", "无法写入：%1")};
const text::Text Converted{QT_TRANSLATE_NOOP("Trelmo", "已转换：共 %1 行，已写入 %2。")};
}  // namespace

int Convert(const QString &from, const QString &to)
{
    const bool toTable = sheet::IsCsvPath(to);
    if (sheet::IsCsvPath(from) == toTable)
        return Say(OneCsv().arg(from, to) + u'\n' + Help(), Usage);
    std::optional<project::Contents> contents;
    if (toTable) {
        contents = project::Read(from);
    } else if (const std::optional<sheet::Reading> reading = sheet::ReadFile(from)) {
        if (!reading->problems.isEmpty())
            return Say(RowsRefused().arg(from) + u'\n' + sheet::Report(reading->problems), BadProject);
        contents = sheet::Contents(*reading);
    }
    if (!contents)
        return Say(NotAProgram().arg(from), BadProject);
    ProgramBytes image{};
    project::Apply(*contents, image);
    const bool written = toTable ? sheet::WriteFile(to, image, contents->lines) : project::Write(to, image);
    if (!written)
        return Say(NotWritten().arg(to), BadProject);
    return Say(Converted(contents->lines).arg(to), Done);
}

}  // namespace cli
