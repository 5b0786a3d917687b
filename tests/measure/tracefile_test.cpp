// The trace file's text: number formats independent of the locale, line splitting, and
// reading files that are whole, cut short, or damaged.

#include "measure/tracefile.h"

#include "support/qtprinters.h"

#include <QLocale>
#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

using namespace ambrel;

namespace {

struct TPoint {
    int Trace;
    double Time;
    double Value;
    bool operator==(const TPoint&) const = default;
};

struct TRead {
    TTraceError Error;
    QList<TPoint> Points;
    double Last = -1;
};

TRead Read(const QByteArray& content) {
    TRead r;
    r.Error = ReadTraceDataFrom(
        content, [&](int trace, double time, double value) { r.Points << TPoint{trace, time, value}; }, r.Last);
    return r;
}

// A header naming the given traces, after the time column.
QByteArray Header(const QList<int>& traces) {
    QByteArray h = "time [s]";
    for (int t : traces)
        h += '\t' + TraceTitle(t).toLatin1();
    return h + "\r\n";
}

} // namespace

TEST(TraceFormat, FixedFormatsMatchTheCFormatsInAnyLocale) {
    const struct {
        double Value;
        int Width, Decimals;
        const char* Text;
    } cases[] = {{850, 4, 2, "850.00"}, {0.001, 1, 2, "0.00"}, {1.155, 1, 2, "1.16"}, {0, 4, 2, "0.00"},
                 {-3.5, 4, 2, "-3.50"}, {1, 4, 1, " 1.0"},      {10000, 4, 1, "10000.0"}, {2000, 4, 1, "2000.0"},
                 {12345.678, 4, 2, "12345.68"}};
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_ALL, "de_DE.UTF-8"); // may be missing; QLocale below is always there
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    for (const auto& c : cases)
        EXPECT_EQ(FormatFixed(c.Value, c.Width, c.Decimals), c.Text) << c.Value;
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(TraceFormat, HeaderHasTheTimeAndFortyOneTitles) {
    const QList<QByteArray> fields = SplitTraceLine(TraceHeaderLine());
    ASSERT_EQ(fields.size(), 42);
    EXPECT_EQ(fields[0], "time [s]");
    EXPECT_EQ(fields[1], "Revs [RPM]");
    EXPECT_EQ(fields[28], "Gas [\xB0" "C]"); // one Latin-1 byte for the degree sign
    EXPECT_EQ(fields[41], "Current8 [A]");
}

TEST(TraceFormat, ScalingLineWithTheStartSettings) {
    TTraceSettings s = InitialTraceSettings();
    for (int i : {11, 15})
        s[static_cast<std::size_t>(i)].Shown = false; // only revs and pressure shown
    QByteArray expected = "SCALING\t10000.0";
    for (int i = 0; i < 28; ++i)
        expected += "\t0";
    expected += "\t2000.0";
    for (int i = 0; i < 11; ++i)
        expected += "\t0";
    EXPECT_EQ(TraceScalingLine(s), expected);
    s[0].Max = 0;
    EXPECT_TRUE(TraceScalingLine(s).startsWith("SCALING\t 0.0\t")); // "%4.1f": padded
}

TEST(TraceFormat, SplittingDropsEmptyFieldsAndKeepsQuotedTabs) {
    EXPECT_EQ(SplitTraceLine("a\t\tb\t"), (QList<QByteArray>{"a", "b"}));
    EXPECT_EQ(SplitTraceLine("\"x\ty\"\tz"), (QList<QByteArray>{"x\ty", "z"}));
    EXPECT_EQ(SplitTraceLine("'1\t2'"), (QList<QByteArray>{"1\t2"}));
    EXPECT_TRUE(SplitTraceLine("").isEmpty());
}

TEST(TraceFormat, NumbersUseThePointOnly) {
    const struct {
        const char* Text;
        bool Ok;
        double Value;
    } cases[] = {{"850.00", true, 850}, {" 1.0", true, 1}, {"-0.25", true, -0.25}, {"1e3", true, 1000},
                 {"1,5", false, 0},     {"", false, 0},    {"abc", false, 0},      {"inf", false, 0},
                 {"nan", false, 0},     {"1.5x", false, 0}, {"   ", false, 0}};
    for (const auto& c : cases) {
        double v = -1;
        EXPECT_EQ(ParseTraceNumber(c.Text, v), c.Ok) << c.Text;
        if (c.Ok) {
            EXPECT_EQ(v, c.Value) << c.Text;
        }
    }
}

TEST(TraceRead, OnlyTheNamedColumnsGetPoints) {
    const QByteArray file = "time [s]\tRevs [RPM]\tPress. [mbar]\r\n0.00\t850.00\t0.00\r\n0.15\t900.00\t1100.00\r\n";
    const TRead r = Read(file);
    ASSERT_FALSE(r.Error.Failed()) << r.Error.What.toStdString();
    EXPECT_EQ(r.Points, (QList<TPoint>{{0, 0, 850}, {29, 0, 0}, {0, 0.15, 900}, {29, 0.15, 1100}}));
    EXPECT_EQ(r.Last, 0.15);
}

TEST(TraceRead, UnknownColumnsAndShortLinesAreTolerated) {
    const QByteArray file = "t\tnonsense\tRevs [RPM]\tPress. [mbar]\r\n1\tx\t800\r\n\r\n2\tx\t810\t1000\r\n";
    const TRead r = Read(file);
    ASSERT_FALSE(r.Error.Failed());
    EXPECT_EQ(r.Points, (QList<TPoint>{{0, 1, 800}, {0, 2, 810}, {29, 2, 1000}}));
}

TEST(TraceRead, DamagedFilesAreErrorsAfterThePointsBeforeTheDamage) {
    const QByteArray header = Header({0});
    const struct {
        const char* Name;
        QByteArray Content;
        int PointsBefore;
    } cases[] = {
        {"empty file", "", 0},
        {"header only", header, 0},
        {"header and scaling line", header + "SCALING\t10000.0", 0},
        {"comma as separator", header + "0.00\t850.00\r\n0.15\t1,5\r\n", 1},
        {"garbage line", header + "0.00\t850.00\r\nhello\tworld\r\n0.30\t870.00\r\n", 1},
        {"garbage last line", header + "0.00\t850.00\r\nhello\r\n", 1},
    };
    for (const auto& c : cases) {
        const TRead r = Read(c.Content);
        EXPECT_TRUE(r.Error.Failed()) << c.Name;
        EXPECT_EQ(r.Points.size(), c.PointsBefore) << c.Name;
    }
}

// A recording cut short by a crash or a pulled cable has no scaling line and may end
// inside a line: everything before the cut plays back.
TEST(TraceRead, RecordingCutShortPlaysBackUpToTheCut) {
    QByteArray file = Header({0, 29});
    for (int i = 0; i < 5; ++i)
        file += FormatFixed(0.15 * i, 1, 2) + "\t" + FormatFixed(850 + i, 4, 2) + "\t1100.00\r\n";
    const QByteArray whole = file;
    const QByteArray lastLine = "0.75\t855.00\t1100.00";
    for (qsizetype cut = 1; cut <= lastLine.size(); ++cut) {
        const TRead r = Read(whole + lastLine.left(cut));
        ASSERT_FALSE(r.Error.Failed()) << cut;
        EXPECT_EQ(r.Points.size(), 10) << cut;
        EXPECT_EQ(r.Last, 0.6) << cut;
    }

    TTraceSettings s = InitialTraceSettings();
    const TTraceSettings before = s;
    EXPECT_FALSE(ReadTraceHeaderFrom(whole + "0.75\t85", s).Failed());
    for (std::size_t i = 0; i < s.size(); ++i) {
        EXPECT_EQ(s[i].Max, before[i].Max);
        EXPECT_EQ(s[i].Shown, before[i].Shown);
    }
}

TEST(TraceRead, ScalingLineRestoresEveryMaximum) {
    TTraceSettings all;
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = {static_cast<double>(i + 1) * 1.5, true};
    TTraceSettings s = InitialTraceSettings();
    const QByteArray file = TraceHeaderLine() + "\r\n0.00" + QByteArray(41 * 5, '\0').replace('\0', "\t1.00") +
                            "\r\n" + TraceScalingLine(all);
    ASSERT_FALSE(ReadTraceHeaderFrom(file, s).Failed());
    for (std::size_t i = 0; i < s.size(); ++i) {
        EXPECT_DOUBLE_EQ(s[i].Max, all[i].Max) << i;
        EXPECT_TRUE(s[i].Shown) << i;
    }
    // A zero on the scaling line hides the trace and keeps its maximum.
    all[3].Max = 0;
    s = InitialTraceSettings();
    const QByteArray hidden = TraceHeaderLine() + "\r\n0.00\t1\r\n" + TraceScalingLine(all);
    ASSERT_FALSE(ReadTraceHeaderFrom(hidden, s).Failed());
    EXPECT_FALSE(s[3].Shown);
    EXPECT_EQ(s[3].Max, 100);
}

TEST(TraceRead, HeaderInUtf8IsUnderstoodToo) {
    const QByteArray file = QByteArray("time [s]\tGas [\u00B0C]\r\n0\t35.5\r\n");
    const TRead r = Read(file);
    ASSERT_FALSE(r.Error.Failed());
    EXPECT_EQ(r.Points, (QList<TPoint>{{27, 0, 35.5}}));
}

// Random measures written as data lines read back as the same values to the format's
// resolution, whatever the column they are in.
TEST(TraceRead, RandomLinesReadBackToTheirValues) {
    QRandomGenerator random(4711);
    QByteArray file = TraceHeaderLine() + "\r\n";
    QList<QList<double>> written;
    for (int line = 0; line < 200; ++line) {
        TDerivedMeasures m;
        m.RPM = random.bounded(9000);
        m.MAP = random.bounded(2500.0);
        m.OnPetrol = random.bounded(2) == 0;
        for (std::size_t c = 0; c < 8; ++c) {
            m.PetrolTime[c] = random.bounded(30.0);
            m.GasInjectorTime[c] = random.bounded(30.0);
            m.InjectorCurrent[c] = random.bounded(3.0);
        }
        m.FuelTrim1 = random.bounded(200.0) - 100;
        m.GasTemp = random.bounded(120.0) - 20;
        m.GasPressure = random.bounded(3000);
        const double time = 0.001 + line * 0.15;
        file += TraceDataLine(time, m) + "\r\n";
        QList<double> values{time};
        for (const TTraceInfo& t : TraceTable())
            values << t.Value(m);
        written << values;
    }
    const TRead r = Read(file);
    ASSERT_FALSE(r.Error.Failed());
    ASSERT_EQ(r.Points.size(), 200 * kTraceCount);
    for (qsizetype i = 0; i < r.Points.size(); ++i) {
        const TPoint& p = r.Points[i];
        const QList<double>& w = written[i / kTraceCount];
        ASSERT_NEAR(p.Time, w[0], 0.005 + 1e-9);
        ASSERT_NEAR(p.Value, w[p.Trace + 1], 0.005 + 1e-9) << "trace " << p.Trace;
    }
}
