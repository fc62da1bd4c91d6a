// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary files given to "打开工程": whatever the file holds, the tool reads it or refuses
// it, and never touches memory outside its images.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "projects/ProjectFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzWorld &world = FuzzWorld::instance();
    // In memory where the system has it: the file is written and read again for every input.
    static QTemporaryDir dir(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/fuzz_projects-XXXXXX")
                                                       : QDir::tempPath() + QStringLiteral("/fuzz_projects-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("project.dat"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            return 0;
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    world.prompter.path = path;
    // The line-count box may hold anything the user typed before.
    world.window.Text1->setText(size > 0 ? QString::number(int(data[0]) * 3 - 20) : QString());
    world.window.Command10->click();
    return 0;
}
