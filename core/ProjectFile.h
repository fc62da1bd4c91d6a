// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The project file: the program image written out byte for byte, 12025 bytes (the count word,
// high byte first, then the 24-byte records of lines 1 to 500 and 23 bytes that hold no line).
// No magic number, version or checksum.
#include <QByteArray>
#include <QString>
#include <optional>

#include "protocol/Program.h"

namespace project {

constexpr int FileSize = program::ImageSize;
// An open takes the count word and the records of lines 1 to 500, every byte of them (offsets 0
// to 12001: the last byte of line 500 is part of its fifth parameter); the 23 bytes after line
// 500 hold no line and keep what they held in the tool.
constexpr int BytesTaken = program::CountWordSize + program::RecordSize * program::MaxLines;
static_assert(BytesTaken == 12002);

// What an open takes from a file: its first bytes (at most a whole image) and the line count
// they carry.
struct Contents {
    QByteArray bytes;
    int lines = 0;
    // The file holds the records of all its lines (a short file may not).
    bool whole() const { return bytes.size() >= program::CountWordSize + program::RecordSize * lines; }
};
// Reads a project (a regular file only, without ever waiting on a pipe or a device). Nothing
// when the file cannot be read, is shorter than its count word, or counts more than 500 lines
// (a count word of 32768 or more is negative to the controller).
std::optional<Contents> Read(const QString &path);
// Takes `contents` into `image`, through the last byte of line 500: a short file holds no more
// lines than it has bytes for, the rest of them are empty.
void Apply(const Contents &contents, ProgramBytes &image);

// The count word a save writes for a line count box holding `count`.
void SetCountWord(ProgramBytes &image, double count);
// Writes `image` to `path`, whole or not at all (files::WriteWhole).
bool Write(const QString &path, const ProgramBytes &image);

}  // namespace project
