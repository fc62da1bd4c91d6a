#pragma once
// A Prompter for tests: notes every message and file dialog, and answers from queues
// (OK and an empty file name when nothing was queued). No modal loop runs.
#include <QQueue>
#include <QStringList>

#include "ui/Dialogs.h"

class RecordingPrompter : public Prompter {
public:
    QStringList messages;
    QStringList titles;
    QQueue<Answer> answers;
    QQueue<QString> fileNames;
    QList<FileDialogRequest> fileRequests;
    QStringList fileModes;  // "open" or "save", one per dialog shown

    Answer message(const QString &text, Buttons, const QString &title) override
    {
        messages << text;
        titles << title;
        return answers.isEmpty() ? Answer::Ok : answers.dequeue();
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
        fileRequests.clear();
        fileModes.clear();
    }
};
