#include "preview/LineDiff.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// Lines as a file in the server code page holds them: each ended by CR LF.
QStringList crlfLines(const QStringList &texts)
{
    QStringList lines;
    for (const QString &text : texts)
        lines.append(text + QStringLiteral("\r\n"));
    return lines;
}

QStringList numbered(int count)
{
    QStringList texts;
    for (int i = 1; i <= count; ++i)
        texts.append(QString::number(i));
    return crlfLines(texts);
}

QStringList unified(const QStringList &oldLines, const QStringList &newLines)
{
    return LineDiff::unified(oldLines, newLines, LineDiff::changes(oldLines, newLines));
}

QString joined(const QStringList &lines)
{
    return lines.join(QLatin1Char('\n'));
}

} // namespace

TEST(LineDiff, EqualLinesGiveNoHunk)
{
    EXPECT_EQ(unified(numbered(5), numbered(5)), QStringList());
    EXPECT_EQ(unified({}, {}), QStringList());
}

TEST(LineDiff, ChangedLineShowsThreeLinesOfContextEachSide)
{
    QStringList changed = numbered(10);
    changed[4] = QStringLiteral("five\r\n");
    EXPECT_EQ(joined(unified(numbered(10), changed)), QStringLiteral("@@ -2,7 +2,7 @@\n"
                                                                                 " 2\n"
                                                                                 " 3\n"
                                                                                 " 4\n"
                                                                                 "-5\n"
                                                                                 "+five\n"
                                                                                 " 6\n"
                                                                                 " 7\n"
                                                                                 " 8"));
}

TEST(LineDiff, ChangesSixLinesApartShareOneHunk)
{
    QStringList changed = numbered(20);
    changed[2] = QStringLiteral("three\r\n");
    changed[9] = QStringLiteral("ten\r\n");
    EXPECT_EQ(joined(unified(numbered(20), changed)), QStringLiteral("@@ -1,13 +1,13 @@\n"
                                                                                 " 1\n"
                                                                                 " 2\n"
                                                                                 "-3\n"
                                                                                 "+three\n"
                                                                                 " 4\n"
                                                                                 " 5\n"
                                                                                 " 6\n"
                                                                                 " 7\n"
                                                                                 " 8\n"
                                                                                 " 9\n"
                                                                                 "-10\n"
                                                                                 "+ten\n"
                                                                                 " 11\n"
                                                                                 " 12\n"
                                                                                 " 13"));
}

TEST(LineDiff, ChangesSevenLinesApartMakeTwoHunks)
{
    QStringList changed = numbered(20);
    changed[2] = QStringLiteral("three\r\n");
    changed[10] = QStringLiteral("eleven\r\n");
    EXPECT_EQ(joined(unified(numbered(20), changed)), QStringLiteral("@@ -1,6 +1,6 @@\n"
                                                                                 " 1\n"
                                                                                 " 2\n"
                                                                                 "-3\n"
                                                                                 "+three\n"
                                                                                 " 4\n"
                                                                                 " 5\n"
                                                                                 " 6\n"
                                                                                 "@@ -8,7 +8,7 @@\n"
                                                                                 " 8\n"
                                                                                 " 9\n"
                                                                                 " 10\n"
                                                                                 "-11\n"
                                                                                 "+eleven\n"
                                                                                 " 12\n"
                                                                                 " 13\n"
                                                                                 " 14"));
}

TEST(LineDiff, ReplacedBlockShowsTheOldLinesThenTheNew)
{
    const QStringList before = crlfLines({QStringLiteral("[Server]"), QStringLiteral("a=1"), QStringLiteral("b=2"), QStringLiteral("end")});
    const QStringList after = crlfLines({QStringLiteral("[Server]"), QStringLiteral("a=9"), QStringLiteral("b=8"), QStringLiteral("c=7"), QStringLiteral("end")});
    EXPECT_EQ(joined(unified(before, after)), QStringLiteral("@@ -1,4 +1,5 @@\n"
                                                                       " [Server]\n"
                                                                       "-a=1\n"
                                                                       "-b=2\n"
                                                                       "+a=9\n"
                                                                       "+b=8\n"
                                                                       "+c=7\n"
                                                                       " end"));
}

TEST(LineDiff, LinesAddedToAnEmptyFileAndRemovedFromTheEnd)
{
    EXPECT_EQ(joined(unified({}, crlfLines({QStringLiteral("a"), QStringLiteral("b")}))),
              QStringLiteral("@@ -0,0 +1,2 @@\n+a\n+b"));
    EXPECT_EQ(joined(unified(numbered(6), numbered(4))), QStringLiteral("@@ -2,5 +2,3 @@\n 2\n 3\n 4\n-5\n-6"));
    EXPECT_EQ(joined(unified(numbered(1), {})), QStringLiteral("@@ -1 +0,0 @@\n-1"));
}

TEST(LineDiff, LineEndsOtherThanCrLfAreShown)
{
    // A file saved with bare LFs and without a final line end: every line differs from the run's CR LF lines.
    const QStringList before = LineDiff::splitKeepingEnds(QStringLiteral("a\nb"));
    const QStringList after = LineDiff::splitKeepingEnds(QStringLiteral("a\r\nb\r\n"));
    EXPECT_EQ(joined(unified(before, after)), QStringLiteral("@@ -1,2 +1,2 @@\n"
                                                                       "-a\u240A\n"
                                                                       "-b\n"
                                                                       "\\ No newline at end of file\n"
                                                                       "+a\n"
                                                                       "+b"));
}

TEST(LineDiff, SplitKeepsEachLineEnd)
{
    EXPECT_EQ(LineDiff::splitKeepingEnds(QStringLiteral("a\r\nb\nc")),
              (QStringList{QStringLiteral("a\r\n"), QStringLiteral("b\n"), QStringLiteral("c")}));
    EXPECT_EQ(LineDiff::splitKeepingEnds(QStringLiteral("x\r\n")), QStringList{QStringLiteral("x\r\n")});
    EXPECT_EQ(LineDiff::splitKeepingEnds(QString()), QStringList());
    EXPECT_EQ(LineDiff::splitKeepingEnds(QStringLiteral("\r\n\r\n")), (QStringList{QStringLiteral("\r\n"), QStringLiteral("\r\n")}));
}

// The hunks of any two texts, applied to the old lines, give the new ones, and every hunk's counts
// match its lines.
TEST(LineDiff, HunksApplyBackToTheNewLines)
{
    QRandomGenerator random(20261207);
    const auto randomLines = [&random](int count) {
        QStringList texts;
        for (int i = 0; i < count; ++i)
            texts.append(QString(QChar(u'a' + random.bounded(4))));
        return crlfLines(texts);
    };
    const QRegularExpression header(QStringLiteral("^@@ -(\\d+)(?:,(\\d+))? \\+(\\d+)(?:,(\\d+))? @@$"));
    for (int round = 0; round < 500; ++round) {
        const QStringList before = randomLines(random.bounded(30));
        const QStringList after = randomLines(random.bounded(30));
        const QStringList hunks = unified(before, after);

        QStringList rebuilt;
        qsizetype oldNext = 0; // first old line not yet copied
        for (qsizetype i = 0; i < hunks.size();) {
            const QRegularExpressionMatch match = header.match(hunks.at(i++));
            ASSERT_TRUE(match.hasMatch()) << round;
            const qsizetype oldCount = match.captured(2).isEmpty() ? 1 : match.captured(2).toInt();
            const qsizetype newCount = match.captured(4).isEmpty() ? 1 : match.captured(4).toInt();
            const qsizetype oldStart = oldCount == 0 ? match.captured(1).toInt() : match.captured(1).toInt() - 1;
            ASSERT_GE(oldStart, oldNext) << round;
            rebuilt += before.mid(oldNext, oldStart - oldNext);
            qsizetype oldSeen = 0;
            qsizetype newSeen = 0;
            for (; i < hunks.size() && !hunks.at(i).startsWith(QLatin1String("@@")); ++i) {
                const QChar marker = hunks.at(i).front();
                const QString line = hunks.at(i).mid(1) + QStringLiteral("\r\n");
                if (marker != QLatin1Char('+')) {
                    EXPECT_EQ(before.value(oldStart + oldSeen++), line) << round;
                }
                if (marker != QLatin1Char('-')) {
                    rebuilt.append(line);
                    ++newSeen;
                }
            }
            EXPECT_EQ(oldSeen, oldCount) << round;
            EXPECT_EQ(newSeen, newCount) << round;
            oldNext = oldStart + oldCount;
        }
        rebuilt += before.mid(oldNext);
        ASSERT_EQ(rebuilt, after) << round;
    }
}
