// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter screen's file buttons: the 24 values saved to a file, compared with the
// controller, and restored from a file. Each reads the controller afresh, a request at a time,
// with the screen's refresh standing still.
#include "screens/parameters/ParamScreen.h"

#include <QDir>
#include <QGroupBox>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>

#include "core/Files.h"
#include "core/ParameterIo.h"
#include "core/WaitGuard.h"
#include "ui/Prompter.h"
#include "link/CommPort.h"
#include "core/ToolState.h"
#include "protocol/Tags.h"

namespace {
const text::Text Filter{QT_TRANSLATE_NOOP("Trelmo", "参数文件 (*.trelmo-params)|*.trelmo-params|All Files (*.*)|*.*")};
const text::Text NoFile{QT_TRANSLATE_NOOP("Trelmo", "没有选择文件！")};
const text::Text CompareTitle{QT_TRANSLATE_NOOP("Trelmo", "比较参数")};
const text::Text RestoreTitle{QT_TRANSLATE_NOOP("Trelmo", "导入参数")};
const text::Text Written{QT_TRANSLATE_NOOP("Trelmo", "参数写入结果：\n%1")};
const text::Text Interrupted{QT_TRANSLATE_NOOP("Trelmo", "参数写入没有完成：\n%1")};
const text::Text SaveNow{QT_TRANSLATE_NOOP("Trelmo", "参数已写入。现在让控制器保存数据吗？")};

constexpr char Suffix[] = ".trelmo-params";
}  // namespace

void ParamScreen::exclusively(const std::function<void()> &work)
{
    Timer1->stop();
    Timer2->stop();
    const QList<QWidget *> held{Frame8, static_cast<QWidget *>(Command1), Command3, Command4, Command5};
    for (QWidget *w : held)
        w->setEnabled(false);
    const WaitGuard guard(m_ctx.state, m_ctx.port, WaitGuard::Lock::None, &m_generation);
    work();
    for (QWidget *w : held)
        w->setEnabled(true);
    // Closed meanwhile (and perhaps opened again): this loading has nothing left to do.
    if (!isLoaded() || !guard.sameLoading())
        return;
    // The buffer holds accelerations now: the cycle goes on with the parameter block.
    m_ctx.state.RequestTag = tag::ParamsDue;
    WatchdogTicks = 0;
    enableRefresh();
    Timer2->start();
}

bool ParamScreen::readFresh(param::Values &values)
{
    param::ParameterIo io(m_ctx);
    if (io.read(values) == param::ParameterIo::Outcome::Done)
        return true;
    if (m_ctx.port.isOpen())
        showMessage(param::NotRead());
    return false;
}

QString ParamScreen::chooseFile(bool save)
{
    FileDialogRequest request;
    request.filter = Filter();
    request.filterIndex = 1;
    request.folder = QDir::currentPath();
    if (save)
        request.initialName = QStringLiteral("parameters") + QLatin1String(Suffix);
    const QString path = save ? m_prompter.saveFileName(request) : m_prompter.openFileName(request);
    if (path.isEmpty())
        showMessage(NoFile());
    return path;
}

std::optional<param::FileContents> ParamScreen::readFile()
{
    const QString path = chooseFile(false);
    if (path.isEmpty())
        return std::nullopt;
    // Nothing longer than a parameter file could be is read, and nothing but a regular file.
    const std::optional<QByteArray> bytes = files::ReadRegular(path, param::MaxFileBytes);
    const param::FileContents contents = param::ReadFile(bytes.value_or(QByteArray()));
    if (!bytes || !contents.ok()) {
        showMessage(param::FileUnusable().arg(bytes ? contents.error : QFileInfo(path).fileName()));
        return std::nullopt;
    }
    return contents;
}

void ParamScreen::SaveParameters()
{
    exclusively([this] {
        param::Values values{};
        if (!readFresh(values))
            return;
        QString path = chooseFile(true);
        if (path.isEmpty())
            return;
        if (QFileInfo(path).suffix().isEmpty())
            path += QLatin1String(Suffix);
        if (!files::WriteWhole(path, param::WriteFile(values))) {
            showMessage(param::FileNotSaved());
            return;
        }
        showMessage(param::FileSaved().arg(QDir::toNativeSeparators(path)));
    });
}

// The table of the 24 values: axis, parameter, file, controller, and which differ.
static TableRequest Table(const QString &title, const QString &text, const QList<param::ParameterIo::Row> &rows)
{
    TableRequest t{title, text, param::ParameterIo::Headers(), {}, {}};
    for (const auto &row : rows) {
        t.rows << param::ParameterIo::Texts(row);
        t.marked << row.differs;
    }
    return t;
}

void ParamScreen::CompareParameters()
{
    exclusively([this] {
        const std::optional<param::FileContents> file = readFile();
        param::Values values{};
        if (!file || !readFresh(values))
            return;
        const auto rows = param::ParameterIo::Compare(*file, values);
        m_prompter.table(Table(CompareTitle(), param::ParameterIo::Summarise(rows).text(false), rows));
    });
}

void ParamScreen::RestoreParameters()
{
    bool offerSave = false;
    exclusively([this, &offerSave] {
        const std::optional<param::FileContents> file = readFile();
        param::Values values{};
        if (!file || !readFresh(values))
            return;
        const auto rows = param::ParameterIo::Compare(*file, values);
        const param::ParameterIo::Summary summary = param::ParameterIo::Summarise(rows);
        if (!summary.toWrite) {
            m_prompter.table(Table(RestoreTitle(), summary.text(false), rows));
            return;
        }
        if (m_prompter.table(Table(RestoreTitle(), summary.text(true), rows), Prompter::Buttons::OkCancel) !=
            Prompter::Answer::Ok)
            return;
        param::ParameterIo io(m_ctx);
        const param::ParameterIo::Restored done = io.restore(*file, values);
        const bool complete = done.outcome == param::ParameterIo::Outcome::Done;
        showMessage((complete ? Written() : Interrupted()).arg(done.report()));
        offerSave = complete && isLoaded();
    });
    // The values are in the controller's working memory only: storing them is the user's call.
    if (offerSave && m_prompter.message(SaveNow(), Prompter::Buttons::OkCancel) == Prompter::Answer::Ok)
        Command1->click();
}
