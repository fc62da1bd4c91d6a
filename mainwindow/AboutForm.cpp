// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/AboutForm.h"

#include "ui/Language.h"

#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

AboutForm::AboutForm(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form3"));
    text::SetCaption(this, {QT_TRANSLATE_NOOP("Trelmo", "软件说明/About")});
    Label1 = new QLabel(this);
    text::SetCaption(Label1, {QT_TRANSLATE_NOOP("Trelmo", " 软件说明")});
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont f = Label1->font();
    f.setPointSizeF(f.pointSizeF() * 1.5);
    f.setBold(true);
    Label1->setFont(f);
    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Command1 = new QPushButton(this);
    text::SetCaption(Command1, text::Return);
    Command1->setObjectName(QStringLiteral("Command1"));
    auto *box = new QVBoxLayout(this);
    box->addWidget(Label1);
    box->addWidget(Text1, 1);
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(Command1);
    row->addStretch();
    box->addLayout(row);
    resize(560, 380);
    connect(Command1, &QPushButton::clicked, this, &QWidget::close);
}

void AboutForm::Form_Load()
{
    static const char *const notes[] = {
        QT_TRANSLATE_NOOP("Trelmo", "1、本软件是针对Vandrel开发的三轴控制器，进行控制器指令编写."),
        QT_TRANSLATE_NOOP("Trelmo",
                          "2、所有数据录入，必须按电脑键盘“ENTER”，数据设定方可生效，按“ESC”退出，数据录入无效."),
        QT_TRANSLATE_NOOP("Trelmo", "3、手动操作和基本参数界面的指示灯，表示当前软件界面通过串口与控制器进行数据交互，"
                                    "若多次交互没能成功，将出现对话框报警."),
        QT_TRANSLATE_NOOP("Trelmo",
                          "4、本软件自动搜索串口，串口配置为：19200，N，8，1；若无串口、未接控制器会报警提醒."),
    };
    // Each note is followed by a line break and an empty line. Qt's text box keeps "\n"; the
    // line structure is the same.
    QString text;
    for (const char *note : notes)
        text += QCoreApplication::translate("Trelmo", note) + QStringLiteral("\n\n");
    Text1->setPlainText(text);
}

void AboutForm::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // The notes are filled again in the language now in use; nothing in them is the user's.
    if (event->type() == QEvent::LanguageChange)
        Form_Load();
}
