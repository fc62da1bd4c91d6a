// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/TransferProgress.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>

#include "core/ToolState.h"
#include "protocol/Tags.h"

TransferProgress::TransferProgress(const ToolState &state, QWidget *parent)
    : QWidget(parent), m_state(state), m_label(new QLabel(this)), m_bar(new QProgressBar(this))
{
    setObjectName(QStringLiteral("TransferProgress"));
    m_label->setObjectName(QStringLiteral("ProgressLabel"));
    m_bar->setObjectName(QStringLiteral("ProgressBar"));
    m_bar->setTextVisible(false);
    m_bar->setFixedWidth(200);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(20, 0, 0, 0);
    row->addWidget(m_label);
    row->addWidget(m_bar);
    // Hidden, it takes no room: the row looks as it does without it.
    hide();
}

// The steps of a transfer of this kind, from its first request to its last reply.
bool TransferProgress::transferring() const
{
    const int t = m_state.RequestTag;
    if (m_kind == Kind::Download)
        return t == tag::WriteLineCount || t == tag::BlocksDue || t == tag::WriteBlock || t == tag::WriteBlockDue;
    if (m_kind == Kind::Verify)
        return t == tag::VerifyBlock || t == tag::VerifyBlockDue;
    return t == tag::ReadBlock || t == tag::ReadBlockDue;
}

void TransferProgress::clicked()
{
    // What an earlier transfer left shown goes; a running one stays.
    if (m_phase != Phase::Running || !transferring()) {
        m_phase = Phase::Idle;
        hide();
    }
}

void TransferProgress::started(Kind kind, int lines)
{
    m_kind = kind;
    m_lines = lines;
    m_phase = Phase::Running;
    showDone(0);
}

void TransferProgress::tick()
{
    if (m_phase == Phase::Finished) {
        m_phase = Phase::Idle;
        hide();
        return;
    }
    if (m_phase != Phase::Running)
        return;
    // The download's blocks are counted once its line count has been taken (BlockCount is
    // 0 until then).
    const bool blocks = m_state.BlockCount > 0;
    showDone(blocks ? std::min(m_state.BlocksDone * program::LinesPerBlock, m_lines) : 0);
    if (transferring())
        return;
    // Ended: with its last block the full count is shown for one tick; ended early, it stays.
    m_phase = blocks && m_state.BlocksDone >= m_state.BlockCount ? Phase::Finished : Phase::Stopped;
}

void TransferProgress::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange && m_phase != Phase::Idle)
        showDone(m_done);
    QWidget::changeEvent(event);
}

void TransferProgress::showDone(int lines)
{
    m_done = lines;
    const QString format = m_kind == Kind::Download ? QCoreApplication::translate("Trelmo", "下载 %1/%2")
                           : m_kind == Kind::Upload ? QCoreApplication::translate("Trelmo", "读取 %1/%2")
                                                    : QCoreApplication::translate("Trelmo", "校验 %1/%2");
    // As wide as the widest count, so that the bar stands still while the numbers grow.
    m_label->setMinimumWidth(m_label->fontMetrics().horizontalAdvance(format.arg(m_lines).arg(m_lines)));
    m_label->setText(format.arg(lines).arg(m_lines));
    m_bar->setRange(0, std::max(m_lines, 1));
    m_bar->setValue(lines);
    show();
}
