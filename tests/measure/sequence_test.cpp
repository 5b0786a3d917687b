// The injection sequence read from the 32-byte table: the window of one round, the
// rotation to channel 1, the gaps, the strategy, and what the main window shows of it.

#include "measure/measures.h"

#include "support/qtprinters.h"

#include <gtest/gtest.h>

using namespace ambrel;

namespace {

// Sixteen injections from channel and counter lists (repeated to fill the table).
QByteArray Table(const QList<int>& channels, const QList<int>& counts) {
    QByteArray t(32, '\0');
    for (int k = 0; k < 16; ++k) {
        t[k] = static_cast<char>(channels[k % channels.size()]);
        t[16 + k] = static_cast<char>(counts[k]);
    }
    return t;
}

// Counter values for a time in ms (1.36 ms a count).
QList<int> Counts(const QList<int>& ms) {
    QList<int> c;
    for (int v : ms)
        c << static_cast<int>(v / 1.36 + 0.5);
    return c;
}

const std::array<double, 8> kStraight = {1, 2, 3, 4, 5, 6, 7, 8};

TSequenceResult Analyse(const QByteArray& table, int cylinders = 4, int rpm = 3000) {
    TSequenceResult r;
    EXPECT_EQ(AnalyseSequence(table, cylinders, rpm, r), TSequenceOutcome::Analysed);
    return r;
}

QList<int> Injectors(const TSequenceResult& r) {
    return QList<int>(r.SequenceInjector.begin(), r.SequenceInjector.end());
}

} // namespace

TEST(AnalyseSequence, SequentialRoundStartsAtChannelOne) {
    // Channels 1, 3, 4, 2 every 10 ms, the round repeating every 40 ms.
    QList<int> ms;
    for (int k = 0; k < 16; ++k)
        ms << 10 * (k + 1);
    const TSequenceResult r = Analyse(Table({0, 2, 3, 1}, Counts(ms)));
    EXPECT_EQ(Injectors(r), (QList<int>{1, 3, 4, 2, 0, 0, 0, 0}));
    EXPECT_EQ(r.SequenceGap[0], -1);
    for (int o = 1; o < 4; ++o)
        EXPECT_GT(r.SequenceGap[static_cast<std::size_t>(o)], 0) << o;
    EXPECT_EQ(r.SequenceGap[4], -1);
    EXPECT_EQ(r.InjectionStrategy, isSequential);
    EXPECT_NEAR(r.InjectionCycle, 40, 1);
    EXPECT_TRUE(SequenceDisplay(r, kStraight).TableShown);
    EXPECT_EQ(SequenceDisplay(r, kStraight).Cells, (QStringList{"A", "C", "D", "B", "", "", "", ""}));
}

TEST(AnalyseSequence, PairsInjectedTogetherAreSemiSequential) {
    // Channels 1+4 together, then 2+3 together.
    const QList<int> ms = {10, 10, 20, 20, 30, 30, 40, 40, 50, 50, 60, 60, 70, 70, 80, 80};
    const TSequenceResult r = Analyse(Table({0, 3, 1, 2}, Counts(ms)));
    EXPECT_EQ(Injectors(r), (QList<int>{1, 4, 2, 3, 0, 0, 0, 0}));
    EXPECT_EQ(r.SequenceGap[0], -1);
    EXPECT_EQ(r.SequenceGap[1], 0);
    EXPECT_GT(r.SequenceGap[2], 0);
    EXPECT_EQ(r.SequenceGap[3], 0);
    EXPECT_EQ(r.InjectionStrategy, isSemiSequential);
    const TSequenceDisplay d = SequenceDisplay(r, kStraight);
    EXPECT_FALSE(d.TableShown);
    // Channel 1 comes back 20 ms later: at 3000 rpm (20 ms a turn) that is every turn.
    EXPECT_EQ(d.Label, "Semi-seq.A D, B C: each rev");
}

TEST(AnalyseSequence, AllAtOnceIsFullGroup) {
    QList<int> ms;
    for (int k = 0; k < 16; ++k)
        ms << 10 + 40 * (k / 4);
    const TSequenceResult r = Analyse(Table({0, 1, 2, 3}, Counts(ms)));
    EXPECT_EQ(Injectors(r), (QList<int>{1, 2, 3, 4, 0, 0, 0, 0}));
    EXPECT_EQ(r.InjectionStrategy, isFullGroup);
    EXPECT_EQ(SequenceDisplay(r, kStraight).Label, "Full-group each 2 revs");
}

TEST(AnalyseSequence, WrappedCounterRestartsTheWindow) {
    // The counter wraps between the second and third injection.
    const QList<int> counts = {250, 254, 3, 10, 17, 24, 31, 38, 45, 52, 59, 66, 73, 80, 87, 94};
    const TSequenceResult r = Analyse(Table({0, 2, 3, 1}, counts));
    // The round is entries 3..6: channels 4, 2, 1, 3, shown from channel 1.
    EXPECT_EQ(Injectors(r), (QList<int>{1, 3, 4, 2, 0, 0, 0, 0}));
    EXPECT_EQ(r.SequenceGap[2], -1); // entry 3 opened the window
    EXPECT_EQ(r.InjectionStrategy, isSequential);
}

TEST(AnalyseSequence, EmptyTableAndStoppedEngine) {
    TSequenceResult r;
    r.SequenceInjector.fill(3);
    // An all-zero table: every injection at time 0 on channel 1.
    EXPECT_EQ(AnalyseSequence(QByteArray(32, '\0'), 4, 850, r), TSequenceOutcome::Analysed);
    EXPECT_EQ(Injectors(r), (QList<int>{1, 1, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(r.InjectionStrategy, isFullGroup);

    // No speed: reset results, nothing for the display.
    r.SequenceInjector.fill(3);
    EXPECT_EQ(AnalyseSequence(Table({0, 2, 3, 1}, Counts({10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130,
                                                           140, 150, 160})),
                              4, 0, r),
              TSequenceOutcome::NoEngine);
    EXPECT_EQ(Injectors(r), (QList<int>{0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(r.SequenceGap[0], -1);
}

TEST(AnalyseSequence, MalformedTablesLeaveThePreviousResult) {
    TSequenceResult r;
    r.SequenceInjector = {1, 3, 4, 2, 0, 0, 0, 0};
    const TSequenceResult before = r;
    for (const QByteArray& bad : {QByteArray(31, '\0'), QByteArray(33, '\0'), QByteArray()})
        EXPECT_EQ(AnalyseSequence(bad, 4, 850, r), TSequenceOutcome::Ignored) << bad.size();
    QByteArray channel9 = QByteArray(32, '\0');
    channel9[5] = 8;
    EXPECT_EQ(AnalyseSequence(channel9, 4, 850, r), TSequenceOutcome::Ignored);
    EXPECT_EQ(r.SequenceInjector, before.SequenceInjector);
}

TEST(SequenceDisplay, RevolutionTextComparesNinetyPercentOfTwoTurns) {
    TSequenceResult r;
    r.InjectionStrategy = isFullGroup;
    r.SequenceInjector = {1, 2, 3, 4, 0, 0, 0, 0};
    r.RevolutionPeriod = 20; // 3000 rpm
    r.InjectionCycle = 40;   // 36 is not above 40
    EXPECT_EQ(SequenceDisplay(r, kStraight).Label, "Full-group each 2 revs");
    r.InjectionCycle = 20;
    EXPECT_EQ(SequenceDisplay(r, kStraight).Label, "Full-group each rev");
    r.InjectionCycle = -1;
    EXPECT_EQ(SequenceDisplay(r, kStraight).Label, "Full-group");
    // Letters follow the gas injector assigned to each cylinder.
    r.InjectionStrategy = isSequential;
    EXPECT_EQ(SequenceDisplay(r, {2, 1, 4, 3, 5, 6, 7, 8}).Cells.mid(0, 4), (QStringList{"B", "A", "D", "C"}));
}
