// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A Prompter for tests: notes every message and file dialog, and answers from queues (when
// nothing was queued: OK, or No to a yes/no/cancel question, and an empty file name). No modal
// loop runs.
#include <QQueue>
#include <QStringList>
#include <functional>

#include "ui/Dialogs.h"

class RecordingPrompter : public Prompter {
public:
    QStringList messages;
    QStringList titles;
    QList<Buttons> buttons;
    QQueue<Answer> answers;
    QQueue<QString> fileNames;
    QList<FileDialogRequest> fileRequests;
    QStringList fileModes;  // "open" or "save", one per dialog shown
    QList<TableRequest> tables;
    // Runs as a message is shown, while its box would be open.
    std::function<void(const QString &)> onMessage;

    Answer message(const QString &text, Buttons kind, const QString &title) override
    {
        messages << text;
        titles << title;
        buttons << kind;
        if (onMessage)
            onMessage(text);
        if (!answers.isEmpty())
            return answers.dequeue();
        return kind == Buttons::YesNoCancel ? Answer::No : Answer::Ok;
    }
    Answer table(const TableRequest &request, Buttons kind) override
    {
        tables << request;
        return message(request.text, kind, request.title);
    }
    QString openFileName(const FileDialogRequest &request) override
    {
        fileRequests << request;
        fileModes << QStringLiteral("open");
        return fileNames.isEmpty() ? QString() : fileNames.dequeue();
    }
    QString saveFileName(const FileDialogRequest &request) override
    {
        fileRequests << request;
        fileModes << QStringLiteral("save");
        return fileNames.isEmpty() ? QString() : fileNames.dequeue();
    }
    int count(const QString &text) const { return int(messages.count(text)); }
    void clear()
    {
        messages.clear();
        titles.clear();
        buttons.clear();
        fileRequests.clear();
        fileModes.clear();
        tables.clear();
    }
};
