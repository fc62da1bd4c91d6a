// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace files {

std::optional<QByteArray> ReadRegular(const QString &path, qint64 limit)
{
    QFile file;
#ifdef Q_OS_UNIX
    // Opened without waiting (a pipe would wait for a writer for ever) and looked at before
    // anything is read: a regular file never blocks.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
#else
    file.setFileName(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return std::nullopt;
#endif
    QByteArray bytes = file.read(limit);
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

bool WriteWhole(const QString &path, QByteArrayView bytes)
{
    // A device or a pipe is no file of ours: the safe save would put a file in its place.
    const QFileInfo target(path);
    if (target.exists() && !target.isFile())
        return false;
    // Written beside the old file and renamed over it only when complete: a failed save leaves
    // the old file as it was. Unbuffered, so that a short write (a full disk, a file size limit)
    // shows in the count written; a buffered flush can lose it. Only where the folder takes no
    // new files but the file itself may be changed is it written in place (a failure there can
    // leave it cut short).
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    const bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                    file.write(bytes.data(), bytes.size()) == bytes.size() && file.commit();
    if (!ok)
        file.cancelWriting();
    return ok;
}

bool Writable(const QString &path)
{
    const QFileInfo target(path);
    if (path.isEmpty() || (target.exists() && !target.isFile()))
        return false;
    const QFileInfo folder(target.absolutePath());
    // A new file beside the old one, or the old one written in place.
    return (folder.isDir() && folder.isWritable()) || (target.exists() && target.isWritable());
}

bool Same(const QString &a, const QString &b)
{
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath() == fb.canonicalFilePath();
    // A file still to be made: its folder, as the system names it, and its name.
    const auto where = [](const QFileInfo &f) {
        const QString folder = QFileInfo(f.absolutePath()).canonicalFilePath();
        return QDir(folder.isEmpty() ? f.absolutePath() : folder).filePath(f.fileName());
    };
    return where(fa) == where(fb);
}

QString CsvField(const QString &text, QChar separator)
{
    if (!text.contains(separator) && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

}  // namespace files
