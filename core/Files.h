// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Files as the tool reads and writes them. A file the user names may be anything: a folder, a
// device, a pipe that blocks until somebody writes into it. Only a regular file is read, and it
// is opened so that nothing can block. Every file the tool writes goes through one safe writer:
// written beside the old one and put in its place only when whole.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace files {

// At most `limit` bytes from the start of `path`; nothing when it is no regular file or cannot
// be read.
std::optional<QByteArray> ReadRegular(const QString &path, qint64 limit);

// Writes `bytes` whole at `path`, or changes nothing there. A target that exists and is not a
// regular file (a device, a pipe, a folder) is refused and left as it is.
bool WriteWhole(const QString &path, QByteArrayView bytes);
// Whether the safe writer could write `path` now (nothing is created or changed by asking).
bool Writable(const QString &path);

// Whether two paths name the same file (the second may not exist yet).
bool Same(const QString &a, const QString &b);

// One cell of a row of a table as spreadsheets read it: quoted, with its quotes doubled, when it
// holds the separator, a quote or a line break; as it is otherwise.
QString CsvField(const QString &text, QChar separator = u',');

}  // namespace files
