#include "projects/ProjectFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

#include "editor/Instructions.h"
#include "editor/ProgramGrid.h"
#include "link/LinkState.h"
#include "link/ProgramRead.h"
#include "link/MainView.h"
#include "projects/Form4.h"
#include "ui/Dialogs.h"
#include "ui/FlexGrid.h"
#include "ui/NumberText.h"
#include "ui/Texts.h"

namespace {
const text::Text NoFile{QT_TRANSLATE_NOOP("Trelmo", "没有选择文件！")};
const text::Text SaveFailed{QT_TRANSLATE_NOOP("Trelmo", "程序保存出错！")};
const text::Text OpenFailed{QT_TRANSLATE_NOOP("Trelmo", "打开文件不成功！")};
const text::Text ClearQuestion{QT_TRANSLATE_NOOP("Trelmo", "确定要将工程指令全部删除？")};
const text::Text UnsavedQuestion{QT_TRANSLATE_NOOP("Trelmo", "工程已修改，是否保存？")};

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

// The line-count box's value, held to a range that no program reaches.
double LineCountValue(const MainView &view)
{
    return std::clamp(NumericValue(view.text(MainView::LineCountBox)), -1e6, 1e6);
}

}  // namespace

ProjectFiles::ProjectFiles(LinkState &state, MainView &view, FlexGrid &grid, Prompter &prompter, QObject *parent)
    : QObject(parent), m_state(state), m_view(view), m_prompter(prompter), m_grid(grid), m_folder(QDir::currentPath())
{
    setBaseline();
}

ProjectFiles::~ProjectFiles() = default;

Form4 *ProjectFiles::form4() const
{
    return m_form4.get();
}

QString ProjectFiles::fileFilter()
{
    return QCoreApplication::translate("Trelmo",
                                       "All Files (*.*)|*.*|Text Files(*.txt)|*.txt|Batch Files (*.bat)|*.bat|"
                                       "Banary Files (*.dat)|*.dat");
}

namespace {
QByteArray Records(const ProgramBytes &image)
{
    return QByteArray(reinterpret_cast<const char *>(image.data()) + program::CountWordSize,
                      program::RecordSize * program::MaxLines);
}
}  // namespace

void ProjectFiles::setBaseline()
{
    m_baseline = {int(RoundHalfEven(LineCountValue(m_view))), Records(m_state.ProgramImage)};
}

bool ProjectFiles::changed() const
{
    const int lines = int(RoundHalfEven(LineCountValue(m_view)));
    if (lines != m_baseline.lines)
        return true;
    // The lines the program has, and any others the grid shows (a grid laid out for 500 lines
    // before any program was opened).
    const int shown = std::clamp(std::max({lines, m_baseline.lines, m_grid.rows() - 1}), 0, program::MaxLines);
    const int bytes = program::RecordSize * shown;
    return Records(m_state.ProgramImage).left(bytes) != m_baseline.records.left(bytes);
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
    m_view.HideCellEditors();
    if (ProgramRead::refuseWhileLocked(m_state, m_prompter) || !confirmDiscard())
        return;
    if (!m_form4) {
        m_form4 = std::make_unique<Form4>(m_prompter);
        // Opened before a transfer began, the window waits until it has ended.
        m_form4->mayCreate = [this] { return !ProgramRead::refuseWhileLocked(m_state, m_prompter); };
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
    m_view.setText(MainView::LineCountBox, QString::number(lines));
    image[0] = std::uint8_t(lines / 256);
    image[1] = std::uint8_t(lines % 256);
    FlexGrid &grid = m_grid;
    grid.clearTexts();
    program::LayOutGridColumns(grid);
    std::fill(image.begin() + program::CountWordSize, image.end(), 0);
    ProjectFileName = name;
    program::LayOutGridRows(grid, lines);
    program::CopyToDisplay(image, m_state.DisplayImage);
    // The main window's timer renders the empty lines on its next tick.
    m_state.GridRefreshRequest = 1;
    setBaseline();
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
    m_view.HideCellEditors();
    if (ProgramRead::refuseWhileLocked(m_state, m_prompter) || !confirmDiscard())
        return;
    const QString path = choosePath(false);
    if (path.isEmpty())
        return;

    // Everything is read and checked before any of it is taken over: a file that cannot be
    // used leaves the program, the line-count box and the grid as they were.
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        bytes = file.read(BytesRead);
    const bool readOk = file.isOpen() && file.error() == QFileDevice::NoError && bytes.size() >= program::CountWordSize;
    file.close();
    const int lines = readOk ? std::uint8_t(bytes[0]) * 256 + std::uint8_t(bytes[1]) : -1;
    // A count word of 32768 or more is negative to the controller; above 500 no program fits.
    if (!readOk || lines > program::MaxLines) {
        m_prompter.message(OpenFailed());
        return;
    }

    ProgramBytes &image = m_state.ProgramImage;
    std::copy(bytes.cbegin(), bytes.cend(), image.begin());
    // A short file holds no more lines than it has bytes for; the rest of them are empty.
    std::fill(image.begin() + bytes.size(), image.begin() + BytesRead, 0);
    ProjectFileName = QFileInfo(path).fileName();
    m_folder = QFileInfo(path).absolutePath();
    m_view.setText(MainView::LineCountBox, QString::number(lines));
    program::RebuildGrid(m_grid, lines);
    program::CopyToDisplay(image, m_state.DisplayImage);
    const FlexGrid::TextBatch batch(m_grid);
    m_view.RenderLines(lines, 1);
    setBaseline();
    emit programReplaced();
}

bool ProjectFiles::SaveProject()
{
    m_view.HideCellEditors();
    // Half a program read from the controller is no project.
    if (m_state.Transferring == LinkState::Transfer::Upload && ProgramRead::refuseWhileLocked(m_state, m_prompter))
        return false;
    const double count = LineCountValue(m_view);
    // A count the file's count word cannot carry, or more lines than a program can have,
    // would give a file that no open accepts.
    if (std::floor(count) < 0 || RoundHalfEven(count) > program::MaxLines) {
        m_prompter.message(text::BadLineCount());
        return false;
    }
    const QString path = choosePath(true);
    if (path.isEmpty())
        return false;
    // A device or a pipe is no project file: the safe save would put a file in its place.
    const QFileInfo target(path);
    if (target.exists() && !target.isFile()) {
        m_prompter.message(SaveFailed());
        return false;
    }

    // The file carries the line count of the box; the program takes it once the file is written.
    ProgramBytes bytes = m_state.ProgramImage;
    bytes[0] = std::uint8_t(std::floor(count / 256));
    bytes[1] = std::uint8_t(std::int64_t(RoundHalfEven(count)) % 256);

    // Written beside the old file and renamed over it only when complete: a failed save
    // leaves the old project as it was. Unbuffered, so that a short write (a full disk, a
    // file size limit) shows in the count written; a buffered flush can lose it. Only where the
    // folder takes no new files but the project file may be changed is it written in place
    // (a failure there can leave it cut short).
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    const bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                    file.write(reinterpret_cast<const char *>(bytes.data()), FileSize) == FileSize && file.commit();
    if (!ok) {
        file.cancelWriting();
        m_prompter.message(SaveFailed());
        return false;
    }
    m_state.ProgramImage[0] = bytes[0];
    m_state.ProgramImage[1] = bytes[1];
    ProjectFileName = target.fileName();
    m_folder = target.absolutePath();
    setBaseline();
    return true;
}

void ProjectFiles::ClearProject()
{
    m_view.HideCellEditors();
    if (ProgramRead::refuseWhileLocked(m_state, m_prompter))
        return;
    if (m_prompter.message(ClearQuestion(), Prompter::Buttons::OkCancel) != Prompter::Answer::Ok)
        return;
    ProgramBytes &image = m_state.ProgramImage;
    std::fill(image.begin() + program::CountWordSize, image.end(), 0);
    program::CopyToDisplay(image, m_state.DisplayImage);
    const FlexGrid::TextBatch batch(m_grid);
    m_view.RenderLines(int(RoundHalfEven(LineCountValue(m_view))), 1);
    setBaseline();
    emit programReplaced();
}
