// SPDX-License-Identifier: GPL-3.0-or-later
#include "projects/RecentProjects.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QSettings>

#include "core/Texts.h"
#include "projects/ProjectFiles.h"

namespace {
const text::Text NoneYet{QT_TRANSLATE_NOOP("Trelmo", "（还没有最近打开的工程）")};
const QString Key = QStringLiteral("recentProjects");

// The user's settings, when the tool has named itself.
bool Persistent()
{
    return !QCoreApplication::organizationName().isEmpty();
}
}  // namespace

RecentProjects::RecentProjects(QPushButton &openButton, ProjectFiles &projects, QObject *parent)
    : QObject(parent), m_button(openButton), m_projects(projects)
{
    if (Persistent())
        m_paths = QSettings().value(Key).toStringList().mid(0, Kept);
    m_button.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&m_button, &QWidget::customContextMenuRequested, this, &RecentProjects::showMenu);
    connect(&m_projects, &ProjectFiles::fileUsed, this, &RecentProjects::add);
    connect(&m_projects, &ProjectFiles::fileMissing, this, &RecentProjects::remove);
}

void RecentProjects::add(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    m_paths.removeAll(absolute);
    m_paths.prepend(absolute);
    m_paths = m_paths.mid(0, Kept);
    store();
}

void RecentProjects::remove(const QString &path)
{
    if (m_paths.removeAll(QFileInfo(path).absoluteFilePath()) > 0)
        store();
}

void RecentProjects::store()
{
    if (Persistent())
        QSettings().setValue(Key, m_paths);
}

void RecentProjects::showMenu(const QPoint &at)
{
    delete m_menu;
    m_menu = new QMenu(&m_button);
    m_menu->setObjectName(QStringLiteral("RecentMenu"));
    m_menu->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_menu, &QObject::destroyed, this, [this, menu = m_menu] {
        if (m_menu == menu)
            m_menu = nullptr;
    });
    for (int i = 0; i < m_paths.size(); ++i) {
        const QString path = m_paths[i];
        QAction *open = m_menu->addAction(QStringLiteral("&%1  %2").arg(i + 1).arg(QDir::toNativeSeparators(path)));
        // Opened once the menu has gone: the open may ask questions of its own.
        connect(open, &QAction::triggered, this, [this, path] {
            QMetaObject::invokeMethod(
                &m_projects, [this, path] { m_projects.OpenProjectFile(path); }, Qt::QueuedConnection);
        });
    }
    if (m_paths.isEmpty())
        m_menu->addAction(NoneYet())->setEnabled(false);
    m_menu->popup(m_button.mapToGlobal(at));
}
