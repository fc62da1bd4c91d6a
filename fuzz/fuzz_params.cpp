// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes given to the reader of parameter files: whatever they hold, a file is read or
// refused with a line named, and a file it reads is what its writer would write again (the
// values it stands for, shown, are the texts it holds).
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/ParameterFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const param::FileContents c = param::ReadFile(bytes);
    if (!c.ok()) {
        if (c.errorLine < 0 || c.errorLine > bytes.count('\n') + 2)  // a line missing at the end is named too
            std::abort();
        return 0;
    }
    // Read whole: every value has its line, and a value the file takes as writable is one the
    // parameter screen would accept.
    for (int box = 0; box < param::BoxCount; ++box) {
        const param::FileValue &v = c.values[std::size_t(box)];
        if (v.line < 4 || (v.restorable && !param::EvaluateEntry(box, v.text).error.isEmpty()))
            std::abort();
    }
    return 0;
}
