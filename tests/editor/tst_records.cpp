// The instruction catalogue and the fixed-point parameter form of a line record.
#include <QtTest>

#include "editor/Instructions.h"
#include "ui/NumberText.h"

using namespace program;

namespace {
QByteArray parameterBytes(std::int32_t value)
{
    std::uint8_t record[RecordSize] = {};
    WriteParameter(record, 2, value);
    return QByteArray(reinterpret_cast<const char *>(record + 8), 4);
}
}  // namespace

class TestRecords : public QObject {
    Q_OBJECT
private slots:
    void catalogueListsEveryCategoryAndCommandInCodeOrder()
    {
        const QStringList categories = CategoryNames();
        QCOMPARE(categories, (QStringList{"系统操作", "流程控制", "输出口设置", "回零运动", "插补运动", "独立运动"}));
        const int commandCounts[] = {8, 5, 1, 2, 10, 5};
        for (int c = 1; c <= 6; ++c) {
            const QStringList commands = CommandNames(categories[c - 1]);
            QCOMPARE(commands.size(), commandCounts[c - 1]);
            QCOMPARE(CategoryCode(categories[c - 1]), c);
            QCOMPARE(CategoryName(c), categories[c - 1]);
            for (int k = 1; k <= commands.size(); ++k) {
                QCOMPARE(CommandCode(categories[c - 1], commands[k - 1]), k);
                QCOMPARE(CommandName(c, k), commands[k - 1]);
            }
            QVERIFY(CommandName(c, commands.size() + 1).isNull());
            QVERIFY(CommandName(c, 0).isNull());
        }
        QCOMPARE(CommandNames("输出口设置"), QStringList{"输出口设置"});
        QCOMPARE(CommandNames("独立运动").last(), QStringLiteral("Z绝对运动"));
    }

    void namesAreWholeStringsAndCommandsBelongToTheirCategory()
    {
        QVERIFY(CommandNames("无").isEmpty());
        QVERIFY(CommandNames("系统").isEmpty());
        QVERIFY(CommandNames(" 系统操作").isEmpty());
        QCOMPARE(CategoryCode("无"), 0);
        QCOMPARE(CategoryCode("插补运动 "), 0);
        // The same code names different commands in different categories.
        QCOMPARE(CommandName(5, 3), QStringLiteral("单轴绝对运动"));
        QCOMPARE(CommandName(6, 3), QStringLiteral("X绝对运动"));
        QCOMPARE(CommandName(2, 3), QStringLiteral("输入跳转"));
        QCOMPARE(CommandCode("流程控制", "暂停"), 0);
        QCOMPARE(CommandCode("无", "停止"), 0);
        QVERIFY(CategoryName(0).isNull());
        QVERIFY(CategoryName(7).isNull());
        QVERIFY(CommandName(0, 1).isNull());
    }

    void encodesTypedNumbers_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("1") << "1" << QByteArray::fromHex("03E80000");
        QTest::newRow("1.5") << "1.5" << QByteArray::fromHex("05DC0000");
        QTest::newRow("100") << "100" << QByteArray::fromHex("86A00001");
        QTest::newRow("-1") << "-1" << QByteArray::fromHex("FC18FFFF");
        QTest::newRow("-1.5") << "-1.5" << QByteArray::fromHex("FA24FFFF");
        QTest::newRow("-0.001") << "-0.001" << QByteArray::fromHex("FFFFFFFF");
        QTest::newRow("-0.0004 rounds away from 0") << "-0.0004" << QByteArray::fromHex("FFFFFFFF");
        QTest::newRow("0.0004 rounds to 0") << "0.0004" << QByteArray::fromHex("00000000");
        QTest::newRow("65.536") << "65.536" << QByteArray::fromHex("00000001");
        QTest::newRow("largest") << "2147483.647" << QByteArray::fromHex("FFFF7FFF");
        QTest::newRow("smallest") << "-2147483.648" << QByteArray::fromHex("00008000");
        QTest::newRow("empty") << "" << QByteArray::fromHex("00000000");
        QTest::newRow("minus alone") << "-" << QByteArray::fromHex("00000000");
        QTest::newRow("1/2 is 1") << "1/2" << QByteArray::fromHex("03E80000");
        QTest::newRow("1-2 is 1") << "1-2" << QByteArray::fromHex("03E80000");
    }
    void encodesTypedNumbers()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, bytes);
        const auto value = EncodeParameter(NumericValue(typed));
        QVERIFY(value);
        QCOMPARE(parameterBytes(*value).toHex(' '), bytes.toHex(' '));
    }

    void roundsOnTheTypedDecimals_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("thousandths");
        // Ties go to the even neighbour, judged on the decimal digits, not on the nearest
        // binary fraction (1.0015 * 1000 is 1001.4999... in floating point).
        QTest::newRow("0.0005") << 0.0005 << 0;
        QTest::newRow("0.0015") << 0.0015 << 2;
        QTest::newRow("0.0025") << 0.0025 << 2;
        QTest::newRow("1.0015") << 1.0015 << 1002;
        QTest::newRow("1.00150001") << 1.00150001 << 1002;
        QTest::newRow("1.0025000001") << 1.0025000001 << 1003;
        QTest::newRow("0.0014999") << 0.0014999 << 1;
        // Negative magnitudes go up only when they are not whole thousandths already.
        QTest::newRow("-4.35") << -4.35 << -4350;
        QTest::newRow("-0.57") << -0.57 << -570;
        QTest::newRow("-1.0001") << -1.0001 << -1001;
        QTest::newRow("-0.0000001") << -0.0000001 << -1;
        QTest::newRow("-0.0005") << -0.0005 << -1;
        QTest::newRow("near largest") << 2147483.6474 << 2147483647;
    }
    void roundsOnTheTypedDecimals()
    {
        QFETCH(double, value);
        QFETCH(int, thousandths);
        QCOMPARE(EncodeParameter(value), std::optional<std::int32_t>(thousandths));
    }

    void numbersBeyondThirtyTwoBitsHaveNoEncoding()
    {
        for (const char *typed : {"2147483.648", "2147483.6475", "-2147483.649", "-2147483.6481",
                                  "99999999999999999999999", "-99999999999999999999999"})
            QVERIFY2(!EncodeParameter(NumericValue(QString::fromLatin1(typed))), typed);
        QVERIFY(!EncodeParameter(std::numeric_limits<double>::infinity()));
        QVERIFY(!EncodeParameter(std::numeric_limits<double>::quiet_NaN()));
    }

    void decodingReadsBackEveryEncoding()
    {
        for (std::int32_t v : {0, 1, -1, 1000, 65536, -65536, 65535, INT32_MAX, INT32_MIN, 123456789}) {
            std::uint8_t record[RecordSize] = {};
            for (int k = 1; k <= ParameterCount; ++k)
                WriteParameter(record, k, std::int32_t(std::uint32_t(v) + std::uint32_t(k)));
            for (int k = 1; k <= ParameterCount; ++k)
                QCOMPARE(ReadParameter(record, k), std::int32_t(std::uint32_t(v) + std::uint32_t(k)));
            // Nothing lands in the code registers.
            QCOMPARE(record[0] | record[1] | record[2] | record[3], 0);
        }
    }

    void thousandthsAreShownInShortestPlainDecimal_data()
    {
        QTest::addColumn<qlonglong>("thousandths");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0LL << "0";
        QTest::newRow("1500") << 1500LL << "1.5";
        QTest::newRow("1") << 1LL << "0.001";
        QTest::newRow("10") << 10LL << "0.01";
        QTest::newRow("100000") << 100000LL << "100";
        QTest::newRow("-1") << -1LL << "-0.001";
        QTest::newRow("-1000") << -1000LL << "-1";
        QTest::newRow("65536") << 65536LL << "65.536";
        QTest::newRow("largest") << 2147483647LL << "2147483.647";
        QTest::newRow("smallest") << -2147483648LL << "-2147483.648";
    }
    void thousandthsAreShownInShortestPlainDecimal()
    {
        QFETCH(qlonglong, thousandths);
        QFETCH(QString, text);
        QCOMPARE(ThousandthsText(thousandths), text);
    }

    void recordsLieWhereTheImageHasRoomForThem()
    {
        ProgramBytes image{};
        QCOMPARE(RecordOffset(1), 2);
        QCOMPARE(RecordOffset(500), 2 + 24 * 499);
        QCOMPARE(RecordOffset(0), -1);
        QCOMPARE(RecordOffset(501), -1);
        QVERIFY(!Record(image, 501));
        QVERIFY(!Record(image, -3));
        QCOMPARE(Record(image, 500) + RecordSize - image.data(), 12002);

        for (std::size_t i = 0; i < image.size(); ++i)
            image[i] = std::uint8_t(i * 7);
        ProgramBytes display{};
        display.fill(0xEE);
        CopyToDisplay(image, display);
        for (std::size_t i = 0; i + 2 < image.size(); ++i)
            QCOMPARE(display[i], image[i + 2]);
        // The last two display bytes have no counterpart and keep what they held.
        QCOMPARE(display[12023], std::uint8_t(0xEE));
        QCOMPARE(display[12024], std::uint8_t(0xEE));
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
