#include "ui/Dialogs.h"

namespace {
// The program's title, which message boxes without a title of their own carry.
const QString ProgramTitle = QStringLiteral("Trelmo");
}  // namespace

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

Prompter::Answer DesktopPrompter::message(const QString &text, Buttons buttons, const QString &title)
{
    QMessageBox box;
    box.setWindowTitle(title.isNull() ? ProgramTitle : title);
    box.setText(text);
    if (buttons == Buttons::OkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    return box.exec() == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
}

QStringList DesktopPrompter::qtFilters(const QString &vbFilter)
{
    // The list alternates description and pattern; Qt wants "description (pattern)", and the
    // descriptions already carry their pattern in brackets.
    const QStringList parts = vbFilter.split(u'|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString desc = parts[i];
        const QString pattern = QString(parts[i + 1]).replace(u';', u' ');
        out << (desc.contains(u'(') ? desc : desc + QStringLiteral(" (") + pattern + u')');
    }
    return out;
}

static QString runDialog(const FileDialogRequest &request, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog;
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (request.hideReadOnly)
        dialog.setOption(QFileDialog::ReadOnly, false);
    const QStringList filters = DesktopPrompter::qtFilters(request.filter);
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
        dialog.selectNameFilter(filters[request.filterIndex - 1]);
    if (!request.initialName.isEmpty())
        dialog.selectFile(request.initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString DesktopPrompter::openFileName(const FileDialogRequest &request)
{
    return runDialog(request, QFileDialog::AcceptOpen);
}

QString DesktopPrompter::saveFileName(const FileDialogRequest &request)
{
    return runDialog(request, QFileDialog::AcceptSave);
}
