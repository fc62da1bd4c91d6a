// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ProjectFile.h"

#include <algorithm>
#include <cmath>

#include "core/Files.h"
#include "core/NumberText.h"

namespace project {

std::optional<Contents> Read(const QString &path)
{
    const std::optional<QByteArray> bytes = files::ReadRegular(path, FileSize);
    if (!bytes || bytes->size() < program::CountWordSize)
        return std::nullopt;
    const int lines = std::uint8_t(bytes->at(0)) * 256 + std::uint8_t(bytes->at(1));
    if (lines > program::MaxLines)
        return std::nullopt;
    return Contents{*bytes, lines};
}

void Apply(const Contents &contents, ProgramBytes &image)
{
    const qsizetype size = std::min<qsizetype>(contents.bytes.size(), BytesTaken);
    std::copy(contents.bytes.cbegin(), contents.bytes.cbegin() + size, image.begin());
    std::fill(image.begin() + size, image.begin() + BytesTaken, 0);
}

void SetCountWord(ProgramBytes &image, double count)
{
    image[0] = std::uint8_t(std::floor(count / 256));
    image[1] = std::uint8_t(std::int64_t(RoundHalfEven(count)) % 256);
}

bool Write(const QString &path, const ProgramBytes &image)
{
    return files::WriteWhole(path, QByteArrayView(image.data(), FileSize));
}

}  // namespace project
