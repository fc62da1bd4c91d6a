// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's controls: the program grid, the connection and transfer buttons, the run
// controls, the project and line buttons, and where each stands.
#include "mainwindow/Mainfrm.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "editor/ProgramGrid.h"
#include "mainwindow/TransferProgress.h"
#include "ui/Colors.h"
#include "ui/FlexGrid.h"
#include "ui/Language.h"
#include "ui/Widgets.h"

namespace {
// The buttons, their captions and back colours (none: the system's button colour).
struct ButtonSpec {
    QPushButton *Mainfrm::*member;
    const char *name;
    const char *caption;
    const QColor *color;
};
// clang-format off
const ButtonSpec Buttons[] = {
    // Connection and transfers, the three screens.
    {&Mainfrm::Cmd1, "Cmd1", text::Connect.source, &colors::LightYellow},
    {&Mainfrm::Cmd5, "Cmd5", QT_TRANSLATE_NOOP("Trelmo", "工程读取"), &colors::LightYellow},
    {&Mainfrm::Command8, "Command8", QT_TRANSLATE_NOOP("Trelmo", "下载工程"), &colors::LightYellow},
    {&Mainfrm::Command15, "Command15", QT_TRANSLATE_NOOP("Trelmo", "程序校验"), &colors::LightYellow},
    {&Mainfrm::Cmd3, "Cmd3", QT_TRANSLATE_NOOP("Trelmo", "手动操作界面"), nullptr},
    {&Mainfrm::Cmd4, "Cmd4", QT_TRANSLATE_NOOP("Trelmo", "参数配置界面"), nullptr},
    {&Mainfrm::Command9, "Command9", QT_TRANSLATE_NOOP("Trelmo", "插补操作界面"), nullptr},
    // Run control.
    {&Mainfrm::Command14, "Command14", QT_TRANSLATE_NOOP("Trelmo", "系统急停"), &colors::Red},
    {&Mainfrm::Command13, "Command13", text::AutoRunOn.source, &colors::Apricot},
    {&Mainfrm::Command12, "Command12", QT_TRANSLATE_NOOP("Trelmo", "控制器存数据"), &colors::Apricot},
    // Projects and lines.
    {&Mainfrm::Command5, "Command5", QT_TRANSLATE_NOOP("Trelmo", "新建工程"), &colors::Apricot},
    {&Mainfrm::Command10, "Command10", QT_TRANSLATE_NOOP("Trelmo", "打开工程"), &colors::Apricot},
    {&Mainfrm::Command7, "Command7", QT_TRANSLATE_NOOP("Trelmo", "保存工程"), &colors::Apricot},
    {&Mainfrm::Command6, "Command6", QT_TRANSLATE_NOOP("Trelmo", "清除工程"), &colors::Apricot},
    {&Mainfrm::Command1, "Command1", QT_TRANSLATE_NOOP("Trelmo", "插入代码行"), nullptr},
    {&Mainfrm::Command2, "Command2", QT_TRANSLATE_NOOP("Trelmo", "删除代码行"), nullptr},
    {&Mainfrm::Command3, "Command3", QT_TRANSLATE_NOOP("Trelmo", "复制代码行"), nullptr},
    {&Mainfrm::Command4, "Command4", QT_TRANSLATE_NOOP("Trelmo", "粘贴代码行"), nullptr},
    // About and language; the language button reads the same in both languages.
    {&Mainfrm::Command16, "Command16", QT_TRANSLATE_NOOP("Trelmo", "通信监视"), nullptr},
    {&Mainfrm::Command11, "Command11", QT_TRANSLATE_NOOP("Trelmo", "关于/About"), nullptr},
    {&Mainfrm::Cmd6, "Cmd6", "中 /  EN", nullptr},
};
// clang-format on

QPushButton *makeButton(QWidget *parent, const char *name, const char *caption, const QColor &color = {})
{
    auto *b = new QPushButton(parent);
    text::SetCaption(b, {caption});
    b->setObjectName(QString::fromLatin1(name));
    b->setMinimumHeight(30);
    b->setFocusPolicy(Qt::StrongFocus);
    if (color.isValid())
        SetBackColor(b, color);
    return b;
}

QLabel *makeLabel(QWidget *parent, const char *name, const char *caption)
{
    auto *l = new QLabel(parent);
    text::SetCaption(l, {caption});
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

QLineEdit *makeBox(QWidget *parent, const char *name, int width)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setFixedWidth(width);
    e->setAlignment(Qt::AlignCenter);
    return e;
}
}  // namespace

void Mainfrm::buildControls()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("central"));
    setCentralWidget(central);

    Label1 = makeLabel(central, "Label1", "TrelmoV2.0     (KESTA-MX3)");
    QFont big = Label1->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    Label1->setFont(big);
    Label3 = makeLabel(central, "Label3", "");
    QFont status = Label3->font();
    status.setPointSizeF(status.pointSizeF() * 1.2);
    status.setBold(true);
    Label3->setFont(status);
    Label3->setMinimumWidth(180);
    Label3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The captions that show the connection and the power-on run mode keep it across a switch.
    text::TrackCaption(Label3, {text::NotConnected, text::Connected});

    MSFlexGrid1 = new FlexGrid(central);
    MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
    MSFlexGrid1->setMinimumSize(760, 420);

    for (const ButtonSpec &b : Buttons)
        this->*b.member = makeButton(central, b.name, b.caption, b.color ? *b.color : QColor());
    text::TrackCaption(Cmd1, {text::Connect, text::Disconnect});
    text::TrackCaption(Command13, {text::AutoRunOn, text::AutoRunOff});
    QFont stopFont = Command14->font();
    stopFont.setBold(true);
    Command14->setFont(stopFont);
    Command14->setMinimumHeight(44);

    Label2 = makeLabel(central, "Label2", QT_TRANSLATE_NOOP("Trelmo", "指令行数："));
    Label4 = makeLabel(central, "Label4", QT_TRANSLATE_NOOP("Trelmo", "当前选择的行："));
    Label5 = makeLabel(central, "Label5", QT_TRANSLATE_NOOP("Trelmo", "当前选择的列："));
    Label6 = makeLabel(central, "Label6", QT_TRANSLATE_NOOP("Trelmo", "当前运行设定："));
    Text1 = makeBox(central, "Text1", 70);
    Text3 = makeBox(central, "Text3", 60);
    Text4 = makeBox(central, "Text4", 60);
    Text5 = new DisplayBox(central);
    Text5->setObjectName(QStringLiteral("Text5"));
    Text5->setFixedWidth(50);
    Text3->setReadOnly(true);
    Text4->setReadOnly(true);
    Text5->setToolTip(QStringLiteral("RequestTag"));

    // The cell editors float over the grid; they are not part of any layout.
    Combo1 = new QComboBox(central);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Text2 = new QLineEdit(central);
    Text2->setObjectName(QStringLiteral("Text2"));

    // Layout: caption and connection state on top; the grid with the commands beside it;
    // project and line buttons and the status boxes underneath.
    auto *top = new QHBoxLayout;
    top->addWidget(Label1);
    top->addStretch(1);
    top->addWidget(Label3);

    auto *side = new QVBoxLayout;
    auto group = [central](const char *title, std::initializer_list<QWidget *> widgets) {
        auto *box = new QGroupBox(central);
        text::SetCaption(box, {title});
        auto *v = new QVBoxLayout(box);
        v->setSpacing(6);
        for (QWidget *w : widgets)
            v->addWidget(w);
        return box;
    };
    side->addWidget(group(QT_TRANSLATE_NOOP("Trelmo", "控制器连接"), {Cmd1, Cmd5, Command8, Command15}));
    side->addWidget(group(QT_TRANSLATE_NOOP("Trelmo", "操作界面"), {Cmd3, Cmd4, Command9}));
    side->addWidget(group(QT_TRANSLATE_NOOP("Trelmo", "运行控制"), {Command14, Label6, Command13, Command12}));
    side->addStretch(1);
    side->addWidget(Command16);
    side->addWidget(Command11);
    side->addWidget(Cmd6);

    auto *middle = new QHBoxLayout;
    middle->addWidget(MSFlexGrid1, 1);
    middle->addLayout(side);

    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {Command5, Command10, Command7, Command6})
        buttons->addWidget(b);
    buttons->addSpacing(24);
    for (QPushButton *b : {Command1, Command2, Command3, Command4})
        buttons->addWidget(b);

    auto *boxes = new QHBoxLayout;
    boxes->addWidget(Label2);
    boxes->addWidget(Text1);
    boxes->addSpacing(20);
    boxes->addWidget(Label4);
    boxes->addWidget(Text3);
    boxes->addSpacing(20);
    boxes->addWidget(Label5);
    boxes->addWidget(Text4);
    m_progress = new TransferProgress(m_state, central);
    boxes->addWidget(m_progress);
    boxes->addStretch(1);
    boxes->addWidget(Text5);

    auto *outer = new QVBoxLayout(central);
    outer->addLayout(top);
    outer->addLayout(middle, 1);
    outer->addLayout(buttons);
    outer->addLayout(boxes);

    HideCellEditors();
    resize(1180, 820);
}
