// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Dialogs.h"

namespace {
// The program's title, which message boxes without a title of their own carry.
const QString ProgramTitle = QStringLiteral("Trelmo");
}  // namespace

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QMessageBox>

#include "core/Texts.h"
#include "ui/Colors.h"

namespace {
QLocale LocaleInUse()
{
    return text::CurrentLanguage() == Language::English ? QLocale(QLocale::English, QLocale::UnitedStates)
                                                        : QLocale(QLocale::Chinese, QLocale::China);
}

// Icons and type names by name: a folder or a file, and the file's extension.
class NameOnlyIcons : public QFileIconProvider {
public:
    QIcon icon(IconType type) const override { return QFileIconProvider::icon(type); }
    QIcon icon(const QFileInfo &info) const override
    {
        return QFileIconProvider::icon(info.isDir() ? QFileIconProvider::Folder : QFileIconProvider::File);
    }
    QString type(const QFileInfo &info) const override
    {
        if (info.isDir())
            return text::Folder();
        const QString suffix = info.suffix();
        return suffix.isEmpty() ? text::PlainFile() : text::TypedFile().arg(suffix.toUpper());
    }
};

// The dates and sizes of the listing in the tool's language (the listing's own follow the
// system's locale).
class LocalListing : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &index, int role) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (role != Qt::DisplayRole || !files || (index.column() != 1 && index.column() != 3))
            return QIdentityProxyModel::data(index, role);
        const QFileInfo info = files->fileInfo(mapToSource(index));
        if (index.column() == 1)
            return info.isDir() ? QString() : LocaleInUse().formattedDataSize(info.size());
        return LocaleInUse().toString(info.lastModified(), QLocale::ShortFormat);
    }
};
}  // namespace

void DesktopPrompter::prepareMessageBox(QMessageBox &box, const QString &text, Buttons buttons, const QString &title)
{
    box.setWindowTitle(title.isNull() ? ProgramTitle : title);
    box.setText(text);
    switch (buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        break;
    }
}

Prompter::Answer DesktopPrompter::message(const QString &text, Buttons buttons, const QString &title)
{
    QMessageBox box;
    prepareMessageBox(box, text, buttons, title);
    switch (box.exec()) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Cancel;  // also a box closed from its title bar
    }
}

Prompter::Answer DesktopPrompter::table(const TableRequest &request, Buttons buttons)
{
    QDialog dialog;
    dialog.setObjectName(QStringLiteral("TableDialog"));
    dialog.setWindowTitle(request.title.isNull() ? ProgramTitle : request.title);
    auto *layout = new QVBoxLayout(&dialog);
    auto *label = new QLabel(request.text, &dialog);
    label->setWordWrap(true);
    layout->addWidget(label);
    auto *table = new QTableWidget(int(request.rows.size()), int(request.headers.size()), &dialog);
    table->setHorizontalHeaderLabels(request.headers);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int r = 0; r < request.rows.size(); ++r)
        for (int c = 0; c < request.rows[r].size(); ++c) {
            auto *item = new QTableWidgetItem(request.rows[r][c]);
            if (request.marked.value(r))
                item->setBackground(colors::Apricot);
            table->setItem(r, c, item);
        }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table);
    auto *box = new QDialogButtonBox(buttons == Buttons::Ok ? QDialogButtonBox::Ok
                                                            : QDialogButtonBox::Ok | QDialogButtonBox::Cancel,
                                     &dialog);
    QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(box);
    dialog.resize(620, 560);
    return dialog.exec() == QDialog::Accepted ? Answer::Ok : Answer::Cancel;
}

QStringList DesktopPrompter::qtFilters(const QString &vbFilter)
{
    // The list alternates description and pattern. Qt takes a filter's patterns from the last
    // brackets of its text, and the dialog shows the text before them (HideNameFilterDetails):
    // each filter is its description, with the pattern in brackets where it has none, followed
    // by the patterns Qt is to use. "*.*" means every file, but to Qt only names with a dot;
    // projects are often named without an extension.
    const QStringList parts = vbFilter.split(u'|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString desc = parts[i];
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        const QString shown = desc.contains(u'(') ? desc : desc + QStringLiteral(" (") + patterns.join(u' ') + u')';
        for (QString &pattern : patterns)
            if (pattern == QStringLiteral("*.*"))
                pattern = QStringLiteral("*");
        out << shown + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return out;
}

void DesktopPrompter::prepareFileDialog(QFileDialog &dialog, const FileDialogRequest &request, bool forSaving)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    static NameOnlyIcons icons;
    dialog.setOption(QFileDialog::DontUseCustomDirectoryIcons, true);
    dialog.setIconProvider(&icons);
    dialog.setLocale(LocaleInUse());
    dialog.setProxyModel(new LocalListing(&dialog));
    dialog.setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(forSaving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    if (request.hideReadOnly)
        dialog.setOption(QFileDialog::ReadOnly, false);
    const QStringList filters = DesktopPrompter::qtFilters(request.filter);
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
        dialog.selectNameFilter(filters[request.filterIndex - 1]);
    if (!request.folder.isEmpty())
        dialog.setDirectory(request.folder);
    if (!request.initialName.isEmpty())
        dialog.selectFile(request.initialName);
}

static QString runDialog(const FileDialogRequest &request, bool forSaving)
{
    QFileDialog dialog;
    DesktopPrompter::prepareFileDialog(dialog, request, forSaving);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString DesktopPrompter::openFileName(const FileDialogRequest &request)
{
    return runDialog(request, false);
}

QString DesktopPrompter::saveFileName(const FileDialogRequest &request)
{
    return runDialog(request, true);
}
