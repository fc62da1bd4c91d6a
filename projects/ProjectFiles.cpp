// SPDX-License-Identifier: GPL-3.0-or-later
#include "projects/ProjectFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

#include "core/Instructions.h"
#include "editor/ProgramGrid.h"
#include "core/ToolState.h"
#include "core/ProgramRead.h"
#include "core/ProgramModel.h"
#include "core/ProgramCsv.h"
#include "core/ProjectFile.h"
#include "projects/Form4.h"
#include "ui/Dialogs.h"
#include "ui/FlexGrid.h"
#include "core/NumberText.h"
#include "core/Texts.h"
#include "ui/Messages.h"

namespace {
const text::Text NoFile{QT_TRANSLATE_NOOP("Trelmo", "没有选择文件！")};
const text::Text SaveFailed{QT_TRANSLATE_NOOP("Trelmo", "程序保存出错！")};
const text::Text OpenFailed{QT_TRANSLATE_NOOP("Trelmo", "打开文件不成功！")};
const text::Text ClearQuestion{QT_TRANSLATE_NOOP("Trelmo", "确定要将工程指令全部删除？")};
const text::Text UnsavedQuestion{QT_TRANSLATE_NOOP("Trelmo", "工程已修改，是否保存？")};
const text::Text CsvFilter{QT_TRANSLATE_NOOP("Trelmo", "CSV 表格 (*.csv)")};
const text::Text NotAProgram{QT_TRANSLATE_NOOP("Trelmo", "%1 不是可以打开的程序，没有打开：")};
const text::Text FileGone{QT_TRANSLATE_NOOP("Trelmo", "文件已不存在，已从最近打开的工程中删除：%1")};

// Spaces (only spaces) are trimmed from both ends of a chosen path.
QString TrimSpaces(const QString &path)
{
    qsizetype begin = 0;
    qsizetype end = path.size();
    while (begin < end && path[begin] == u' ')
        ++begin;
    while (end > begin && path[end - 1] == u' ')
        --end;
    return path.mid(begin, end - begin);
}

}  // namespace

ProjectFiles::ProjectFiles(ToolState &state, ProgramModel &program, FlexGrid &grid, Prompter &prompter,
                           std::function<void()> hideEditors, QObject *parent)
    : QObject(parent), m_state(state), m_program(program), m_prompter(prompter), m_grid(grid),
      m_hideEditors(std::move(hideEditors)), m_folder(QDir::currentPath())
{
    m_program.setBaseline();
}

ProjectFiles::~ProjectFiles() = default;

Form4 *ProjectFiles::form4() const
{
    return m_form4.get();
}

QString ProjectFiles::fileFilter()
{
    // The project filters, then the spreadsheet's.
    return QCoreApplication::translate("Trelmo",
                                       "All Files (*.*)|*.*|Text Files(*.txt)|*.txt|Batch Files (*.bat)|*.bat|"
                                       "Banary Files (*.dat)|*.dat") +
           u'|' + CsvFilter() + QStringLiteral("|*.csv");
}

bool ProjectFiles::changed() const
{
    return m_program.changed(m_grid.rows() - 1);
}

bool ProjectFiles::confirmDiscard()
{
    if (!changed())
        return true;
    switch (m_prompter.message(UnsavedQuestion(), Prompter::Buttons::YesNoCancel)) {
    case Prompter::Answer::Yes: return SaveProject();
    case Prompter::Answer::No: return true;
    default: return false;
    }
}

void ProjectFiles::NewProject()
{
    m_hideEditors();
    if (RefuseWhileLocked(m_state, m_prompter) || !confirmDiscard())
        return;
    if (!m_form4) {
        m_form4 = std::make_unique<Form4>(m_prompter);
        // Opened before a transfer began, the window waits until it has ended.
        m_form4->mayCreate = [this] { return !RefuseWhileLocked(m_state, m_prompter); };
        connect(m_form4.get(), &Form4::projectRequested, this, &ProjectFiles::CreateProject);
    }
    if (!m_form4->isVisible())
        m_form4->Form_Load();
    m_form4->show();
    m_form4->raise();
    m_form4->activateWindow();
}

void ProjectFiles::CreateProject(const QString &name, int lines)
{
    ProgramBytes &image = m_state.ProgramImage;
    m_program.setCount(lines);
    m_program.setCountWord(lines);
    FlexGrid &grid = m_grid;
    grid.clearTexts();
    program::LayOutGridColumns(grid);
    std::fill(image.begin() + program::CountWordSize, image.end(), 0);
    ProjectFileName = name;
    program::LayOutGridRows(grid, lines);
    m_program.copyToDisplay();
    // The main window's timer renders the empty lines on its next tick.
    m_state.GridRefreshRequest = 1;
    m_program.setBaseline();
    emit programReplaced();
}

// The open or save dialog, with the file filters, the second one chosen, and the folder of the
// last project; the save dialog offers the project's name. The chosen path with its spaces
// trimmed, or nothing (the user has been told).
QString ProjectFiles::choosePath(bool save)
{
    FileDialogRequest request;
    request.filter = fileFilter();
    request.filterIndex = FilterIndex;
    request.hideReadOnly = true;
    request.folder = m_folder;
    if (save)
        request.initialName = ProjectFileName;
    const QString path = save ? m_prompter.saveFileName(request) : m_prompter.openFileName(request);
    if (path.isEmpty())
        m_prompter.message(NoFile());
    return TrimSpaces(path);
}

void ProjectFiles::OpenProject()
{
    m_hideEditors();
    if (RefuseWhileLocked(m_state, m_prompter) || !confirmDiscard())
        return;
    const QString path = choosePath(false);
    if (!path.isEmpty())
        openPath(path);
}

void ProjectFiles::OpenProjectFile(const QString &path)
{
    m_hideEditors();
    if (RefuseWhileLocked(m_state, m_prompter) || !confirmDiscard())
        return;
    if (!QFileInfo::exists(path)) {
        emit fileMissing(path);
        m_prompter.message(FileGone().arg(path));
        return;
    }
    openPath(path);
}

void ProjectFiles::openPath(const QString &path)
{
    // Everything is read and checked before any of it is taken over: a file that cannot be
    // used leaves the program, the line-count box and the grid as they were. A CSV table is
    // read whole, and every row that is no program line is reported.
    std::optional<project::Contents> contents;
    if (!sheet::IsCsvPath(path)) {
        contents = project::Read(path);
    } else if (const std::optional<sheet::Reading> reading = sheet::ReadFile(path)) {
        if (!reading->problems.isEmpty()) {
            m_prompter.message(NotAProgram().arg(QFileInfo(path).fileName()) + u'\n' +
                               sheet::Report(reading->problems));
            return;
        }
        contents = sheet::Contents(*reading);
    }
    if (!contents) {
        m_prompter.message(OpenFailed());
        return;
    }
    project::Apply(*contents, m_state.ProgramImage);
    ProjectFileName = QFileInfo(path).fileName();
    m_folder = QFileInfo(path).absolutePath();
    const int lines = contents->lines;
    m_program.setCount(lines);
    program::RebuildGrid(m_grid, lines);
    m_program.copyToDisplay();
    const FlexGrid::TextBatch batch(m_grid);
    m_program.render(lines, 1);
    m_program.setBaseline();
    emit programReplaced();
    emit fileUsed(path);
}

bool ProjectFiles::SaveProject()
{
    m_hideEditors();
    // Half a program read from the controller is no project.
    if (m_state.Transferring == ToolState::Transfer::Upload && RefuseWhileLocked(m_state, m_prompter))
        return false;
    const double count = m_program.count();
    // A count the file's count word cannot carry, or more lines than a program can have,
    // would give a file that no open accepts.
    if (std::floor(count) < 0 || RoundHalfEven(count) > program::MaxLines) {
        m_prompter.message(text::BadLineCount());
        return false;
    }
    const QString path = choosePath(true);
    if (path.isEmpty())
        return false;
    if (sheet::IsCsvPath(path))
        return exportSheet(path);
    // The file carries the line count of the box; the program takes it once the file is written.
    ProgramBytes bytes = m_state.ProgramImage;
    project::SetCountWord(bytes, count);
    if (!project::Write(path, bytes)) {
        m_prompter.message(SaveFailed());
        return false;
    }
    m_state.ProgramImage[0] = bytes[0];
    m_state.ProgramImage[1] = bytes[1];
    ProjectFileName = QFileInfo(path).fileName();
    m_folder = QFileInfo(path).absolutePath();
    m_program.setBaseline();
    emit fileUsed(path);
    return true;
}

bool ProjectFiles::exportSheet(const QString &path)
{
    // A table of the lines is no project: the project's name, its count word and its baseline
    // stay as they are, and the unsaved mark with them.
    if (!sheet::WriteFile(path, m_state.ProgramImage, m_program.lines())) {
        m_prompter.message(SaveFailed());
        return false;
    }
    m_folder = QFileInfo(path).absolutePath();
    emit fileUsed(path);
    return true;
}

void ProjectFiles::ClearProject()
{
    m_hideEditors();
    if (RefuseWhileLocked(m_state, m_prompter))
        return;
    if (m_prompter.message(ClearQuestion(), Prompter::Buttons::OkCancel) != Prompter::Answer::Ok)
        return;
    ProgramBytes &image = m_state.ProgramImage;
    std::fill(image.begin() + program::CountWordSize, image.end(), 0);
    m_program.copyToDisplay();
    const FlexGrid::TextBatch batch(m_grid);
    m_program.render(m_program.lines(), 1);
    m_program.setBaseline();
    emit programReplaced();
}
