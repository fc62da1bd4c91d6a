// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every message box and file dialog of the tool goes through Prompter: the windows show them on
// the desktop, the command line prints the messages, and tests install a recorder that notes the
// texts and answers without a modal loop.
#include <QList>
#include <QString>
#include <QStringList>

struct FileDialogRequest {
    QString filter;       // "All Files (*.*)|*.*|..." as the original list gives it
    int filterIndex = 1;  // 1-based
    QString initialName;  // a file name in `folder`
    QString folder;       // where the dialog starts
    bool hideReadOnly = true;
};

// A table put before the user (a comparison, a report), with a text above it; marked rows stand
// out.
struct TableRequest {
    QString title;
    QString text;
    QStringList headers;
    QList<QStringList> rows;
    QList<bool> marked;
};

class Prompter {
public:
    enum class Buttons { Ok, OkCancel, YesNoCancel };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~Prompter() = default;
    // Shows a modal message box with `text`. A null title means the program's title; an
    // empty (non-null) one an empty title bar.
    virtual Answer message(const QString &text, Buttons buttons = Buttons::Ok, const QString &title = QString()) = 0;
    // Modal file dialogs; an empty result means nothing was chosen.
    // A modal window with the table and the buttons; without a window of its own, the text.
    virtual Answer table(const TableRequest &request, Buttons buttons = Buttons::Ok)
    {
        return message(request.text, buttons, request.title);
    }
    virtual QString openFileName(const FileDialogRequest &request) = 0;
    virtual QString saveFileName(const FileDialogRequest &request) = 0;
};
