// SPDX-License-Identifier: GPL-3.0-or-later
#include "projects/Form4.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/Instructions.h"
#include "ui/Dialogs.h"
#include "ui/Language.h"
#include "core/NumberText.h"

namespace {
// A control of the window, named as the window calls it, with its caption if it has one.
template <typename Control> Control *control(QWidget *window, const char *name, const char *caption = nullptr)
{
    auto *c = new Control(window);
    c->setObjectName(QString::fromLatin1(name));
    if (caption)
        text::SetCaption(c, {caption});
    return c;
}
}  // namespace

Form4::Form4(Prompter &prompter, QWidget *parent) : QWidget(parent, Qt::Window), m_prompter(prompter)
{
    setObjectName(QStringLiteral("Form4"));
    text::SetCaption(this, {QT_TRANSLATE_NOOP("Trelmo", "工程文件新建窗口")});
    Label1 = control<QLabel>(this, "Label1", QT_TRANSLATE_NOOP("Trelmo", "文件名称为："));
    Label2 = control<QLabel>(this, "Label2", QT_TRANSLATE_NOOP("Trelmo", "设定工程指令行数："));
    Text1 = control<QLineEdit>(this, "Text1");
    Text2 = control<QLineEdit>(this, "Text2");
    Command1 = control<QPushButton>(this, "Command1", QT_TRANSLATE_NOOP("Trelmo", "确 定"));
    Command2 = control<QPushButton>(this, "Command2", QT_TRANSLATE_NOOP("Trelmo", "取 消"));

    auto *fields = new QGridLayout;
    fields->addWidget(Label1, 0, 0);
    fields->addWidget(Text1, 0, 1);
    fields->addWidget(Label2, 1, 0);
    fields->addWidget(Text2, 1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    buttons->addStretch();
    auto *box = new QVBoxLayout(this);
    box->addLayout(fields);
    box->addLayout(buttons);
    resize(380, 150);

    connect(Command1, &QPushButton::clicked, this, &Form4::Command1Click);
    connect(Command2, &QPushButton::clicked, this, &QWidget::close);
}

void Form4::Form_Load()
{
    Text1->clear();
    Text2->setText(QStringLiteral("0"));
}

void Form4::Command1Click()
{
    if (!mayCreate())
        return;
    const double value = NumericValue(Text2->text());
    // The line count is a whole number; a fraction that rounds to no line, or to line 500,
    // is as wrong as the number itself.
    const double lines = value > 0 && value < program::MaxLines ? RoundHalfEven(value) : 0;
    if (Text1->text().isEmpty() || lines < 1 || lines >= program::MaxLines) {
        m_prompter.message(QCoreApplication::translate("Trelmo", "输入的指令行数不正确或文件名缺失！"));
        return;
    }
    emit projectRequested(Text1->text(), int(lines));
    close();
}
