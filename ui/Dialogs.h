#pragma once
// Every message box and file dialog of the tool goes through Prompter, so that tests can
// install a recorder that notes the texts and answers without a modal loop.
#include <QString>
#include <QStringList>

class QFileDialog;
class QMessageBox;

struct FileDialogRequest {
    QString filter;       // "All Files (*.*)|*.*|..." as the original list gives it
    int filterIndex = 1;  // 1-based
    QString initialName;  // a file name in `folder`
    QString folder;       // where the dialog starts
    bool hideReadOnly = true;
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
    virtual QString openFileName(const FileDialogRequest &request) = 0;
    virtual QString saveFileName(const FileDialogRequest &request) = 0;
};

// The real dialogs of the desktop.
class DesktopPrompter : public Prompter {
public:
    Answer message(const QString &text, Buttons buttons, const QString &title) override;
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
