// Rendering stored line records into the texts of the program grid.
#include <QtTest>

#include "editor/Instructions.h"
#include "projects/LineRenderer.h"
#include "ui/FlexGrid.h"

namespace {
// A record with the given codes and raw 32-bit parameter values.
void putRecord(ProgramBytes &display, int line, int category, int command,
               std::initializer_list<std::uint32_t> parameters = {})
{
    std::uint8_t *r = display.data() + (line - 1) * program::RecordSize;
    r[1] = std::uint8_t(category);
    r[3] = std::uint8_t(command);
    int k = 1;
    for (std::uint32_t u : parameters)
        program::WriteParameter(r, k++, std::int32_t(u));
}

QStringList rowTexts(const FlexGrid &grid, int row)
{
    QStringList texts;
    for (int c = 1; c < FlexGrid::Cols; ++c)
        texts << grid.textMatrix(row, c);
    return texts;
}
}  // namespace

class TestRender : public QObject {
    Q_OBJECT
private slots:
    void parametersShowTheirSignedThousandths()
    {
        ProgramBytes display{};
        putRecord(display, 1, 1, 1, {4294967295u, 2147483648u, 2147483647u, 4294966296u, 1500u});
        const LineTexts t = RenderRecord(display.data());
        QCOMPARE(t.parameters[0], QStringLiteral("-0.001"));
        QCOMPARE(t.parameters[1], QStringLiteral("-2147483.648"));
        QCOMPARE(t.parameters[2], QStringLiteral("2147483.647"));
        QCOMPARE(t.parameters[3], QStringLiteral("-1"));
        QCOMPARE(t.parameters[4], QStringLiteral("1.5"));
    }

    void codesBecomeNamesWhereTheCatalogueHasThem_data()
    {
        QTest::addColumn<int>("category");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("categoryText");
        QTest::addColumn<QString>("commandText");
        QTest::newRow("5/3") << 5 << 3 << "插补运动"
                             << "单轴绝对运动";
        QTest::newRow("6/3") << 6 << 3 << "独立运动"
                             << "X绝对运动";
        QTest::newRow("2/3") << 2 << 3 << "流程控制"
                             << "输入跳转";
        QTest::newRow("3/1") << 3 << 1 << "输出口设置"
                             << "输出口设置";
        QTest::newRow("unknown command stays a number") << 1 << 9 << "系统操作"
                                                        << "9";
        QTest::newRow("no command") << 4 << 0 << "回零运动"
                                    << "0";
        QTest::newRow("no category") << 0 << 0 << "无"
                                     << "无";
        QTest::newRow("no category, a command") << 0 << 2 << "无"
                                                << "无";
        QTest::newRow("category 7") << 7 << 1 << "无"
                                    << "无";
        QTest::newRow("category 200") << 200 << 3 << "无"
                                      << "无";
    }
    void codesBecomeNamesWhereTheCatalogueHasThem()
    {
        QFETCH(int, category);
        QFETCH(int, command);
        ProgramBytes display{};
        putRecord(display, 1, category, command);
        // The high bytes of the code registers are not part of the codes.
        display[0] = 0xFF;
        display[2] = 0x01;
        const LineTexts t = RenderRecord(display.data());
        QTEST(t.category, "categoryText");
        QTEST(t.command, "commandText");
        for (const QString &p : t.parameters)
            QCOMPARE(p, QStringLiteral("0"));
    }

    void linesGoIntoTheRowsOfTheirBlock()
    {
        FlexGrid grid;
        grid.setRows(31);
        ProgramBytes display{};
        putRecord(display, 1, 5, 2, {1000, 2000});
        putRecord(display, 2, 1, 5, {65536});
        RenderLines(grid, display, 2, 1);
        QCOMPARE(rowTexts(grid, 1), (QStringList{"插补运动", "三轴相对运动", "1", "2", "0", "0", "0"}));
        QCOMPARE(rowTexts(grid, 2), (QStringList{"系统操作", "延时等待", "65.536", "0", "0", "0", "0"}));

        // The upload shows block 3 from the start of the display image: rows 21 onwards.
        RenderLines(grid, display, 2, 3);
        QCOMPARE(rowTexts(grid, 21), rowTexts(grid, 1));
        QCOMPARE(rowTexts(grid, 22), rowTexts(grid, 2));
        QCOMPARE(grid.textMatrix(20, 1), QString());
        QCOMPARE(grid.textMatrix(23, 1), QString());
    }

    void nothingIsRenderedForNoLinesOrNoBlock()
    {
        FlexGrid grid;
        grid.setRows(5);
        ProgramBytes display{};
        putRecord(display, 1, 1, 1);
        RenderLines(grid, display, 0, 1);
        RenderLines(grid, display, 1, 0);
        RenderLines(grid, display, -4, 1);
        RenderLines(grid, display, 3, -2);
        for (int r = 1; r < 5; ++r)
            QCOMPARE(grid.textMatrix(r, 1), QString());
    }

    void renderingStopsAtTheGridsLastRowAndTheImagesLastRecord()
    {
        ProgramBytes display{};
        for (int line = 1; line <= 501; ++line)
            putRecord(display, line, 1, 2, {std::uint32_t(line) * 1000});

        // A grid of 4 lines asked for 10: rows 1 to 4 only.
        FlexGrid small;
        small.setRows(5);
        RenderLines(small, display, 10, 1);
        QCOMPARE(small.rows(), 5);
        QCOMPARE(small.textMatrix(4, 3), QStringLiteral("4"));

        // A block beyond the grid writes nothing.
        FlexGrid blank;
        blank.setRows(5);
        RenderLines(blank, display, 10, 2);
        QCOMPARE(blank.textMatrix(4, 3), QString());

        // More lines than the display image holds: the 501st record is its last one.
        FlexGrid big;
        big.setRows(700);
        RenderLines(big, display, 32767, 1);
        QCOMPARE(big.textMatrix(501, 3), QStringLiteral("501"));
        QCOMPARE(big.textMatrix(502, 3), QString());
        QCOMPARE(big.textMatrix(502, 1), QString());

        // A huge block number must not wrap around into the grid's rows.
        FlexGrid wrap;
        wrap.setRows(20);
        RenderLines(wrap, display, 5, 32767);
        for (int r = 1; r < 20; ++r)
            QCOMPARE(wrap.textMatrix(r, 1), QString());
    }
};

QTEST_MAIN(TestRender)
#include "tst_render.moc"
