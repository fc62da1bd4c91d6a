// The commands of the manual screen, by the frames the controller receives: jog, homing,
// stop, outputs, step switch, power-on auto-run, the speed and distance entry, loading and
// unloading, and a failing port.
#include <QClipboard>
#include <QGuiApplication>

#include "ManualRig.h"

namespace {
void typeInto(QLineEdit *box, const QString &text)
{
    QTest::mouseClick(box, Qt::LeftButton);
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
}
}  // namespace

class TstManualCommands : public QObject {
    Q_OBJECT
private slots:
    void loadingAndReturn()
    {
        ManualRig rig;
        QVERIFY(rig.idle());
        const int from = rig.mark();
        QTest::mouseClick(rig.w.Cmd3, Qt::LeftButton);
        QCOMPARE(rig.screen->windowTitle(), QStringLiteral("手控操作界面"));
        QCOMPARE(rig.screen->objectName(), QStringLiteral("Form2"));
        QVERIFY(rig.screen->isVisible());
        QCOMPARE(rig.state.ManualScreenActive, std::int16_t(1));
        QVERIFY(rig.screen->Timer1->isActive());
        QVERIFY(rig.screen->Timer2->isActive());
        QTRY_VERIFY(rig.controller.requests.size() > from);
        // The first read: 51 registers of the status block at 8559.
        QCOMPARE(hex(rig.controller.requests[from].left(6)), QStringLiteral("01 03 21 6F 00 33"));
        QCOMPARE(rig.w.port().rThreshold(), 107);
        QVERIFY(rig.waitShown(2));

        QTest::mouseClick(rig.button(14), Qt::LeftButton);
        QVERIFY(!rig.screen->isVisible());
        QVERIFY(!rig.screen->isLoaded());
        QCOMPARE(rig.state.ManualScreenActive, std::int16_t(0));
        QCOMPARE(rig.state.RequestTag, std::int16_t(0));
        QVERIFY(!rig.screen->Timer1->isActive());
        const int after = rig.mark();
        QTest::qWait(500);
        QCOMPARE(rig.mark(), after);  // no refresh behind a closed screen

        // Loading again finds every control as it was created.
        rig.screen->Text1[3]->setText(QStringLiteral("77"));
        rig.controller.silent = true;
        QTest::mouseClick(rig.w.Cmd3, Qt::LeftButton);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(rig.screen->Text1[std::size_t(i)]->text(), QStringLiteral("0"));
        QCOMPARE(rig.button(13)->text(), QStringLiteral("OUT1-ON"));
        QCOMPARE(rig.screen->Command3->text(), QStringLiteral("上电自运行"));
        QCOMPARE(rig.screen->DigitTyped, std::int16_t(0));
    }

    void axisButtons()
    {
        ManualRig rig;
        QVERIFY(rig.open());

        // Y-: press and release switch coil 4 on and off again, nothing else.
        int from = rig.mark();
        QTest::mousePress(rig.button(4), Qt::LeftButton);
        QCOMPARE(rig.state.RequestTag, std::int16_t(25));
        QVERIFY(rig.waitWrites(from, 1));
        QVERIFY(rig.coilOn(4));
        QTest::mouseRelease(rig.button(4), Qt::LeftButton);
        QVERIFY(rig.waitWrites(from, 2));
        QTest::qWait(300);
        QCOMPARE(rig.writesHex(from), QStringList({hex(coilFrame(4, true)), hex(coilFrame(4, false))}));
        QCOMPARE(hex(coilFrame(4, true)), QStringLiteral("01 05 00 04 FF 00 CD FB"));

        // Every jog button has its own direction coil.
        const int jogCoils[9] = {2, 1, 0, 5, 4, 0, 8, 7, 0};
        for (int i : {0, 1, 3, 6, 7}) {
            from = rig.mark();
            QTest::mousePress(rig.button(i), Qt::LeftButton);
            QTest::mouseRelease(rig.button(i), Qt::LeftButton);
            QVERIFY(rig.waitWrites(from, 2));
            QCOMPARE(rig.writesHex(from),
                     QStringList({hex(coilFrame(jogCoils[i], true)), hex(coilFrame(jogCoils[i], false))}));
        }

        // Homing: ON on press, nothing on release.
        const int homeCoils[3] = {3, 6, 9};
        for (int k = 0; k < 3; ++k) {
            from = rig.mark();
            QTest::mousePress(rig.button(3 * k + 2), Qt::LeftButton);
            QTest::mouseRelease(rig.button(3 * k + 2), Qt::LeftButton);
            QVERIFY(rig.waitWrites(from, 1));
            QTest::qWait(300);
            QCOMPARE(rig.writesHex(from), QStringList{hex(coilFrame(homeCoils[k], true))});
        }

        // The emergency stop: coil 16 ON only.
        from = rig.mark();
        QTest::mouseClick(rig.button(9), Qt::LeftButton);
        QCOMPARE(rig.state.RequestTag, std::int16_t(25));
        QVERIFY(rig.waitWrites(from, 1));
        QTest::qWait(300);
        QCOMPARE(rig.writesHex(from), QStringList{QStringLiteral("01 05 00 10 FF 00 8D FF")});

        // The step switch: coil 29 ON, tag 24.
        from = rig.mark();
        QTest::mouseClick(rig.screen->Command2, Qt::LeftButton);
        QCOMPARE(rig.state.RequestTag, std::int16_t(24));
        QVERIFY(rig.waitWrites(from, 1));
        QCOMPARE(rig.writesHex(from), QStringList{hex(coilFrame(29, true))});

        // The refresh goes on after each command.
        QVERIFY(rig.screen->Timer1->isActive());
        QVERIFY(rig.waitShown(2));
        QVERIFY(rig.prompter.messages.isEmpty());
    }

    void keyboardDoesNotJog()
    {
        ManualRig rig;
        QVERIFY(rig.open());
        const int from = rig.mark();
        rig.button(0)->setFocus();
        QTest::keyClick(rig.button(0), Qt::Key_Space);
        QTest::keyClick(rig.button(2), Qt::Key_Space);
        QTest::qWait(300);
        QVERIFY(rig.writesSince(from).isEmpty());
    }

    void outputButtons()
    {
        ManualRig rig;
        rig.controller.registers[reg::Output1 + 1] = 1;  // OUT2 is on
        QVERIFY(rig.open());
        QVERIFY(rig.waitShown());
        QCOMPARE(rig.button(12)->text(), QStringLiteral("OUT2-OF"));
        QVERIFY(rig.screen->Shape1[8]->isLit());

        int from = rig.mark();
        QTest::mouseClick(rig.button(12), Qt::LeftButton);
        QCOMPARE(rig.button(12)->text(), QStringLiteral("OUT2-ON"));
        QVERIFY(rig.waitWrites(from, 1));
        QCOMPARE(rig.writesHex(from), QStringList{hex(coilFrame(18, false))});
        QTRY_VERIFY(!rig.screen->Shape1[8]->isLit());  // the controller's output follows

        from = rig.mark();
        QTest::mouseClick(rig.button(12), Qt::LeftButton);
        QCOMPARE(rig.button(12)->text(), QStringLiteral("OUT2-OF"));
        QVERIFY(rig.waitWrites(from, 1));
        QCOMPARE(rig.writesHex(from), QStringList{hex(coilFrame(18, true))});
        QTRY_VERIFY(rig.screen->Shape1[8]->isLit());

        // OUT1, OUT3 and OUT4 sit on buttons 13, 11 and 10 and coils 17, 19 and 20.
        const int buttons[3] = {13, 11, 10};
        const int coils[3] = {17, 19, 20};
        for (int k = 0; k < 3; ++k) {
            from = rig.mark();
            QTest::mouseClick(rig.button(buttons[k]), Qt::LeftButton);
            QVERIFY(rig.waitWrites(from, 1));
            QCOMPARE(rig.writesHex(from), QStringList{hex(coilFrame(coils[k], true))});
            QTRY_VERIFY(rig.screen->Shape1[std::size_t(7 + coils[k] - 17)]->isLit());
        }
        QCOMPARE(rig.button(10)->text(), QStringLiteral("OUT4-OF"));
    }

    void powerOnAutoRun()
    {
        ManualRig rig;
        rig.controller.registers[reg::PosX] = 25000;
        QVERIFY(rig.open());
        QVERIFY(rig.waitShown());
        QCOMPARE(rig.screen->Command3->text(), QStringLiteral("上电后不自动运行"));
        QCOMPARE(rig.screen->Text1[0]->text(), QStringLiteral("25"));

        // The controller moves on while the command goes out: the first shown reply after it
        // leaves the boxes alone, the next one shows them.
        rig.controller.registers[reg::PosX] = 30000;
        TickLog log(rig);
        const int from = rig.mark();
        QTest::mouseClick(rig.screen->Command3, Qt::LeftButton);
        QCOMPARE(rig.screen->Command3->text(), QStringLiteral("上电自运行"));
        QVERIFY(rig.waitWrites(from, 1));
        QCOMPARE(rig.writesHex(from).value(0), hex(FakeController::withCrc(fromHex("01 06 21 7D 00 01"))));
        QCOMPARE(rig.controller.registers[reg::PowerOnRun], quint16(1));
        QTRY_COMPARE(rig.w.Command13->text(), QStringLiteral("上电自运行"));
        QTRY_COMPARE(rig.screen->Text1[0]->text(), QStringLiteral("30"));
        QList<QString> shown;  // X as it stood after each tick that showed a reply
        for (int i = 1; i < log.entries.size(); ++i)
            if (log.entries[i].lamp != log.entries[i - 1].lamp)
                shown << log.entries[i].x;
        QVERIFY2(shown.size() >= 2, qPrintable(QString::number(shown.size())));
        QCOMPARE(shown[0], QStringLiteral("25"));
        QCOMPARE(shown[1], QStringLiteral("30"));
        QVERIFY(rig.screen->Timer2->isActive());

        // And back.
        QTest::mouseClick(rig.screen->Command3, Qt::LeftButton);
        QCOMPARE(rig.controller.registers[reg::PowerOnRun], quint16(0));
        QTRY_COMPARE(rig.w.Command13->text(), QStringLiteral("上电后不自动运行"));
    }

    void speedAndDistance()
    {
        ManualRig rig;
        QVERIFY(rig.open());
        QLineEdit *speed = rig.screen->Text1[3];
        QLineEdit *distance = rig.screen->Text1[4];

        // A click on the box holds the refresh until Enter.
        QTest::mouseClick(speed, Qt::LeftButton);
        QVERIFY(!rig.screen->Timer1->isActive());
        int from = rig.mark();
        typeInto(speed, QStringLiteral("12.5"));
        QCOMPARE(speed->text(), QStringLiteral("12.5"));
        QTest::keyClick(speed, Qt::Key_Return);
        QVERIFY(rig.waitWrites(from, 1));
        QCOMPARE(rig.writesHex(from).value(0), QStringLiteral("01 10 21 79 00 02 04 30 D4 00 00 EF 88"));
        QCOMPARE(rig.controller.registers[8569], quint16(12500));
        QCOMPARE(rig.controller.registers[8570], quint16(0));
        QVERIFY(rig.screen->Timer1->isActive());
        QVERIFY(rig.button(0)->hasFocus());
        QTRY_COMPARE(speed->text(), QStringLiteral("12.5"));  // read back from the controller

        from = rig.mark();
        typeInto(distance, QStringLiteral("250"));
        QTest::keyClick(distance, Qt::Key_Enter);
        QVERIFY(rig.waitWrites(from, 1));
        QCOMPARE(rig.controller.registers[8571], quint16(53392));
        QCOMPARE(rig.controller.registers[8572], quint16(3));
        QTRY_COMPARE(distance->text(), QStringLiteral("250"));

        // Enter on an empty box writes 0.
        from = rig.mark();
        typeInto(distance, QString());
        QCOMPARE(distance->text(), QString());
        QTest::keyClick(distance, Qt::Key_Return);
        QVERIFY(rig.waitWrites(from, 1));
        QCOMPARE(rig.writesHex(from).value(0),
                 hex(FakeController::withCrc(fromHex("01 10 21 7B 00 02 04 00 00 00 00"))));

        // The largest entry the register pair can carry, and one thousandth more.
        from = rig.mark();
        QTest::mouseClick(speed, Qt::LeftButton);
        speed->setText(QStringLiteral("2147483.647"));
        QTest::keyClick(speed, Qt::Key_Return);
        QVERIFY(rig.waitWrites(from, 1));
        QCOMPARE(rig.writesHex(from).value(0),
                 hex(FakeController::withCrc(fromHex("01 10 21 79 00 02 04 FF FF 7F FF"))));
        QVERIFY(rig.prompter.messages.isEmpty());
        for (const char *tooBig : {"2147483.648", "99999999999999999999999"}) {
            from = rig.mark();
            QTest::mouseClick(speed, Qt::LeftButton);
            speed->setText(QString::fromLatin1(tooBig));
            QTest::keyClick(speed, Qt::Key_Return);
            QCOMPARE(rig.prompter.messages, QStringList{QStringLiteral("输入数据出错！")});
            QTest::qWait(300);
            QVERIFY(rig.writesSince(from).isEmpty());
            QVERIFY(rig.screen->Timer1->isActive());
            rig.prompter.clear();
        }
        // A negative value cannot be typed but can be pasted.
        from = rig.mark();
        QTest::mouseClick(distance, Qt::LeftButton);
        distance->setText(QStringLiteral("-3"));
        QTest::keyClick(distance, Qt::Key_Return);
        QCOMPARE(rig.prompter.messages, QStringList{QStringLiteral("输入数据出错！")});
        QTest::qWait(300);
        QVERIFY(rig.writesSince(from).isEmpty());
    }

    void entryKeys()
    {
        ManualRig rig;
        QVERIFY(rig.open());
        QLineEdit *speed = rig.screen->Text1[3];
        // A point before any digit is dropped; after a digit it is taken.
        typeInto(speed, QStringLiteral(".5"));
        QCOMPARE(speed->text(), QStringLiteral("5"));
        QTest::keyClicks(speed, QStringLiteral(".25"));
        QCOMPARE(speed->text(), QStringLiteral("5.25"));
        QTest::keyClick(speed, Qt::Key_Escape);
        QCOMPARE(rig.screen->DigitTyped, std::int16_t(0));
        QTest::keyClicks(speed, QStringLiteral("."));
        QCOMPARE(speed->text(), QStringLiteral("5.25"));  // Esc cleared the digit mark
        // Letters and minus are dropped, and a paste holding them; "/" (47) is taken.
        typeInto(speed, QStringLiteral("a1-b/2"));
        QCOMPARE(speed->text(), QStringLiteral("1/2"));
        QTest::keyClick(speed, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(speed->text(), QStringLiteral("1/2"));
        const int from = rig.mark();
        QTest::keyClick(speed, Qt::Key_Return);  // 1/2 reads as 1
        QVERIFY(rig.waitWrites(from, 1));
        QCOMPARE(rig.writesHex(from).value(0),
                 hex(FakeController::withCrc(fromHex("01 10 21 79 00 02 04 03 E8 00 00"))));

        // Esc leaves the text as typed until the refresh shows the controller's value again.
        rig.controller.registers[8569] = 5000;
        QTRY_COMPARE(speed->text(), QStringLiteral("5"));
        typeInto(speed, QStringLiteral("8"));
        QTest::keyClick(speed, Qt::Key_Escape);
        QCOMPARE(speed->text(), QStringLiteral("8"));
        QVERIFY(rig.screen->Timer1->isActive());
        QTRY_COMPARE(speed->text(), QStringLiteral("5"));

        // Typing holds the refresh even without a click into the box, so the text sent on
        // Enter is the text on screen.
        speed->setFocus();
        QVERIFY(rig.screen->Timer1->isActive());
        QTest::keyClicks(speed, QStringLiteral("7"));
        QVERIFY(!rig.screen->Timer1->isActive());
        QTest::qWait(500);
        QCOMPARE(speed->text(), QStringLiteral("57"));
        // Leaving the box starts the refresh again and puts the focus on "X+".
        rig.screen->Text1[4]->setFocus();
        QVERIFY(rig.screen->Timer1->isActive());
        QVERIFY(rig.button(0)->hasFocus());
        QTRY_COMPARE(speed->text(), QStringLiteral("5"));

        // A click from one box straight into the other ends on "X+" (leaving the first box
        // sends the focus there); the refresh must not be left stopped behind it.
        QTest::mouseClick(speed, Qt::LeftButton);
        QVERIFY(speed->hasFocus());
        QVERIFY(!rig.screen->Timer1->isActive());
        QTest::mouseClick(rig.screen->Text1[4], Qt::LeftButton);
        QVERIFY(rig.button(0)->hasFocus());
        QVERIFY(rig.screen->Timer1->isActive());
        QVERIFY(rig.waitShown(2));
    }

    void editingShortcutsAndPastes()
    {
        ManualRig rig;
        QVERIFY(rig.open());
        QLineEdit *distance = rig.screen->Text1[4];
        QClipboard *clipboard = QGuiApplication::clipboard();
        QTest::mouseClick(distance, Qt::LeftButton);  // holds the refresh
        const QString shown = distance->text();
        // A paste passes the box's own rule character by character: no point before a digit.
        clipboard->setText(QStringLiteral(".5"));
        QTest::keySequence(distance, QKeySequence("Ctrl+A, Ctrl+V"));
        QCOMPARE(distance->text(), shown);
        clipboard->setText(QStringLiteral("12.5"));
        QTest::keySequence(distance, QKeySequence("Ctrl+V"));
        QCOMPARE(distance->text(), QStringLiteral("12.5"));
        clipboard->setText(QStringLiteral("-1"));
        QTest::keySequence(distance, QKeySequence("Ctrl+A, Ctrl+V"));
        QCOMPARE(distance->text(), QStringLiteral("12.5"));
        QTest::keySequence(distance, QKeySequence("Ctrl+C"));
        QCOMPARE(clipboard->text(), QStringLiteral("12.5"));
        QTest::keySequence(distance, QKeySequence("Ctrl+X"));
        QCOMPARE(distance->text(), QString());
        QTest::keySequence(distance, QKeySequence("Ctrl+Z"));
        QCOMPARE(distance->text(), QStringLiteral("12.5"));
    }

    void portFailure()
    {
        ManualRig rig;
        QVERIFY(rig.open());
        // The adapter is gone: the next command fails, the refresh stops and stays stopped.
        rig.w.port().close();
        QTest::mouseClick(rig.button(9), Qt::LeftButton);
        QCOMPARE(rig.prompter.messages, QStringList{QStringLiteral("串口出错！")});
        QCOMPARE(rig.state.RequestTag, std::int16_t(0));
        QCOMPARE(rig.state.PortErrorFlag, std::int16_t(0));
        QVERIFY(!rig.screen->Timer1->isActive());
        QVERIFY(rig.screen->isVisible());
        // Leaving an entry box does not restart it behind the user's back.
        rig.screen->Text1[3]->setFocus();
        QTest::keyClick(rig.screen->Text1[3], Qt::Key_Escape);
        rig.screen->Text1[4]->setFocus();
        QVERIFY(!rig.screen->Timer1->isActive());
        QTest::qWait(500);
        QCOMPARE(rig.prompter.messages.size(), 1);

        // An output whose write never left keeps its caption.
        QTest::mouseClick(rig.button(13), Qt::LeftButton);
        QCOMPARE(rig.button(13)->text(), QStringLiteral("OUT1-ON"));
        QCOMPARE(rig.prompter.messages.size(), 2);
        // A failed speed entry leaves the refresh stopped too.
        QTest::mouseClick(rig.screen->Text1[3], Qt::LeftButton);
        QTest::keyClick(rig.screen->Text1[3], Qt::Key_Return);
        QCOMPARE(rig.prompter.messages.size(), 3);
        QVERIFY(!rig.screen->Timer1->isActive());
    }
};

QTEST_MAIN(TstManualCommands)
#include "tst_manual_commands.moc"
