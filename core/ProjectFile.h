#pragma once
// The project file: the program image written out byte for byte, 12025 bytes (the count word,
// high byte first, then the 24-byte records of lines 1 to 500 and 23 bytes that hold no line).
// No magic number, version or checksum.
#include <QByteArray>
#include <QString>
#include <optional>

#include "link/LinkState.h"

namespace project {

constexpr int FileSize = program::ImageSize;
// An open reads the count word and the records of lines 1 to 499 and the first byte of line 500
// (offsets 0 to 12000); the rest of the image keeps what it held.
constexpr int BytesRead = 12001;

// What an open takes from a file: its first bytes (or a whole image) and the line count they carry.
struct Contents {
    QByteArray bytes;
    int lines = 0;
};
// Reads a project. Nothing when the file cannot be read, is shorter than its count word, or
// counts more than 500 lines (a count word of 32768 or more is negative to the controller).
std::optional<Contents> Read(const QString &path);
// Takes `contents` into `image`: a short file holds no more lines than it has bytes for, the
// rest of them are empty.
void Apply(const Contents &contents, ProgramBytes &image);

// The count word a save writes for a line count box holding `count`.
void SetCountWord(ProgramBytes &image, double count);
// Writes `image` to `path`, whole or not at all. A target that exists and is not a regular file
// (a device, a pipe, a folder) is refused and left as it is.
bool Write(const QString &path, const ProgramBytes &image);
// The same for any file the tool writes: `bytes` whole at `path`, or nothing changed there.
bool WriteWhole(const QString &path, QByteArrayView bytes);

}  // namespace project
