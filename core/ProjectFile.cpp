#include "core/ProjectFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

#include "core/NumberText.h"

namespace project {

std::optional<Contents> Read(const QString &path)
{
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        bytes = file.read(BytesRead);
    if (!file.isOpen() || file.error() != QFileDevice::NoError || bytes.size() < program::CountWordSize)
        return std::nullopt;
    const int lines = std::uint8_t(bytes[0]) * 256 + std::uint8_t(bytes[1]);
    if (lines > program::MaxLines)
        return std::nullopt;
    return Contents{bytes, lines};
}

void Apply(const Contents &contents, ProgramBytes &image)
{
    const qsizetype size = std::min<qsizetype>(contents.bytes.size(), FileSize);
    std::copy(contents.bytes.cbegin(), contents.bytes.cbegin() + size, image.begin());
    if (size < BytesRead)
        std::fill(image.begin() + size, image.begin() + BytesRead, 0);
}

void SetCountWord(ProgramBytes &image, double count)
{
    image[0] = std::uint8_t(std::floor(count / 256));
    image[1] = std::uint8_t(std::int64_t(RoundHalfEven(count)) % 256);
}

bool Write(const QString &path, const ProgramBytes &image)
{
    return WriteWhole(path, QByteArrayView(image.data(), FileSize));
}

bool WriteWhole(const QString &path, QByteArrayView bytes)
{
    // A device or a pipe is no project file: the safe save would put a file in its place.
    const QFileInfo target(path);
    if (target.exists() && !target.isFile())
        return false;
    // Written beside the old file and renamed over it only when complete: a failed save leaves
    // the old project as it was. Unbuffered, so that a short write (a full disk, a file size
    // limit) shows in the count written; a buffered flush can lose it. Only where the folder
    // takes no new files but the project file may be changed is it written in place (a failure
    // there can leave it cut short).
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    const bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                    file.write(bytes.data(), bytes.size()) == bytes.size() && file.commit();
    if (!ok)
        file.cancelWriting();
    return ok;
}

}  // namespace project
