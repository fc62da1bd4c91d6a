// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The message boxes and file dialogs of the desktop.
#include <QString>
#include <QStringList>

#include "ui/Prompter.h"

class QFileDialog;
class QMessageBox;

// The real dialogs of the desktop.
class DesktopPrompter : public Prompter {
public:
    Answer message(const QString &text, Buttons buttons, const QString &title) override;
    Answer table(const TableRequest &request, Buttons buttons) override;
    QString openFileName(const FileDialogRequest &request) override;
    QString saveFileName(const FileDialogRequest &request) override;

    // "Text (*.txt)|*.txt|..." -> the name filters of a Qt file dialog.
    static QStringList qtFilters(const QString &vbFilter);
    // Sets `box` up as message() shows it.
    static void prepareMessageBox(QMessageBox &box, const QString &text, Buttons buttons, const QString &title);
    // Sets `dialog` up as the open (or save) dialog that `request` asks for: Qt's own dialog,
    // whose texts come with Qt's translation, not the desktop's, with names and dates in the
    // tool's language. A file's type and icon come from its name alone: its contents are never
    // read (a device or a pipe in the folder would hold the dialog up for good).
    static void prepareFileDialog(QFileDialog &dialog, const FileDialogRequest &request, bool forSaving);
};
