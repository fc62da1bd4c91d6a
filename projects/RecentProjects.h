// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The projects last opened or saved, newest first, offered by a right click on "打开工程" (a left
// click stays the open dialog). The list is the one thing the tool keeps between runs, in the
// user's settings under the tool's organization name; without one (a test, a fuzzer) it is kept
// for the run only.
#include <QObject>
#include <QStringList>

class ProjectFiles;
class QMenu;
class QPushButton;

class RecentProjects : public QObject {
    Q_OBJECT
public:
    static constexpr int Kept = 8;

    RecentProjects(QPushButton &openButton, ProjectFiles &projects, QObject *parent = nullptr);

    QStringList paths() const { return m_paths; }
    // A file opened or saved goes to the top; one that is gone leaves the list.
    void add(const QString &path);
    void remove(const QString &path);

    // The menu of the last right click on the button, while it is shown.
    QMenu *menu() const { return m_menu; }

private:
    void showMenu(const QPoint &at);
    void store();

    QPushButton &m_button;
    ProjectFiles &m_projects;
    QStringList m_paths;
    QMenu *m_menu = nullptr;
};
