// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as a CSV file or as text pasted from a spreadsheet: whatever they hold, the
// reader takes a program or names what is wrong, and never touches memory it does not own. A
// text it takes reads back to the same records once written again, in both layouts, and the
// project image it makes holds exactly the lines read.
#include <QCoreApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/ProgramCsv.h"

// The input: a settings byte (bit 0: tabs, as pasted, else commas, as a file; the rest: how many
// more lines fit, from 0 to 500), then the file's bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app = new QCoreApplication(argc, argv);
    (void)app;
    const auto check = [](bool ok) {
        if (!ok)
            std::abort();
    };
    if (size < 1)
        return 0;
    const auto separator = data[0] & 1 ? sheet::Separator::Tab : sheet::Separator::Comma;
    const int room = (data[0] >> 1) * 500 / 127;
    const QString text = sheet::Decode(QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)));
    const sheet::Reading reading = sheet::Read(text, separator, room);
    for (const sheet::Problem &p : reading.problems)
        check(!sheet::Describe(p).isEmpty() && (p.kind == sheet::Problem::TooManyLines || p.row >= 1));
    if (!reading.problems.isEmpty()) {
        check(reading.records.isEmpty() && !sheet::Report(reading.problems).isEmpty());
        return 0;
    }
    check(reading.lines() <= room && reading.records.size() % program::RecordSize == 0);
    const auto *records = reinterpret_cast<const std::uint8_t *>(reading.records.constData());
    for (const sheet::Layout &layout : {sheet::FileLayout(), sheet::CopyLayout()}) {
        const QString written = sheet::Write(records, reading.lines(), layout);
        const sheet::Reading again = sheet::Read(written, layout.separator, program::MaxLines);
        check(again.problems.isEmpty() && again.records == reading.records);
    }
    const project::Contents contents = sheet::Contents(reading);
    check(contents.lines == reading.lines() && contents.bytes.size() == program::ImageSize &&
          contents.bytes.mid(2, reading.records.size()) == reading.records &&
          contents.bytes.mid(2 + reading.records.size()).count('\0') ==
              program::ImageSize - 2 - reading.records.size());
    return 0;
}
