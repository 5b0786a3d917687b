// The recorder in TAcquisitions: a recording as the meters window makes it, the file on
// the disk line by line, the chart's 100 s window, playback with its scaling and its
// "is not a valid file." error, and the buttons through all of it.

#include "measure/acquisitions.h"

#include "fakeview.h"
#include "link/linkmanager.h"
#include "support/fakeport.h"
#include "support/qtprinters.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <clocale>

using namespace ambrel;
using ambrel::test::TFakePortDirectory;
using ambrel::test::TFakeSerialPort;
using ambrel::test::TFakeTraceView;

namespace {

class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        acq.SetTraceView(&view);
        acq.SetClock([this] { return nowMs; });
        acq.SetTraceFileName(Path());
        acq.SetStandardAcquisition(true);
    }
    QString Path(const char* name = "trace.txt") const { return dir.filePath(QString::fromLatin1(name)); }
    QByteArray FileBytes(const QString& path) const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QList<QByteArray> Lines(const QString& path) const { return FileBytes(path).split('\n'); }
    void SetRpm(int rpm) {
        acq.Raw().EngineSpeed = rpm;
        acq.Derive();
    }
    // One meters refresh, `ms` after the previous one.
    void Refresh(qint64 ms = 150) {
        nowMs += ms;
        acq.SampleTraces();
    }

    QTemporaryDir dir;
    TFakeSerialPort port;
    TFakePortDirectory ports;
    TMemorySettingsStore settings;
    TLinkManager link{port, ports, settings};
    TAcquisitions acq{link};
    TFakeTraceView view;
    qint64 nowMs = 1000;
};

} // namespace

TEST_F(RecorderTest, ThreeRefreshesWriteHeaderAndTimedLines) {
    SetRpm(850);
    acq.SetRecording(true);
    ASSERT_TRUE(acq.Recording());
    Refresh(0);
    Refresh(150);
    Refresh(1260);
    acq.SetRecording(false);
    const QList<QByteArray> lines = Lines(Path());
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0].split('\t').size(), 42);
    EXPECT_TRUE(lines[0].endsWith('\r'));
    const QList<QByteArray> times = {"0.00", "0.15", "1.41"}; // 0.001, 0.151, 1.411
    for (int i = 0; i < 3; ++i) {
        const QList<QByteArray> fields = lines[i + 1].trimmed().split('\t');
        ASSERT_EQ(fields.size(), 42);
        EXPECT_EQ(fields[0], times[i]);
        EXPECT_EQ(fields[1], "850.00");
    }
    EXPECT_TRUE(lines[4].startsWith("SCALING\t10000.0\t0\t"));
    EXPECT_FALSE(FileBytes(Path()).endsWith('\n'));
    EXPECT_EQ(view.Points[0].last(), QPointF(1.411, 8.5)); // drawn as a percentage of 10000
}

TEST_F(RecorderTest, EveryLineIsOnTheDiskAsSoonAsItIsWritten) {
    acq.SetRecording(true);
    for (int i = 1; i <= 3; ++i) {
        Refresh();
        EXPECT_EQ(FileBytes(Path()).count("\r\n"), i + 1) << i;
    }
    acq.SetRecording(false);
}

TEST_F(RecorderTest, GermanLocaleDoesNotChangeTheFile) {
    const auto record = [this](const char* name) {
        nowMs = 1000;
        acq.SetTraceFileName(Path(name));
        acq.Raw().Slot[30] = 100;
        acq.Raw().Battery = 1385;
        acq.Derive();
        acq.SetRecording(true);
        Refresh(0);
        Refresh(1234);
        acq.SetRecording(false);
        return FileBytes(Path(name));
    };
    const QByteArray plain = record("c.txt");
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QByteArray german = record("de.txt");
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(german, plain);
    EXPECT_TRUE(plain.contains("\t13.85\t"));
    EXPECT_FALSE(plain.contains(','));
}

TEST_F(RecorderTest, ChartKeepsTheLastHundredSecondsAndTheFileEverything) {
    acq.SetRecording(true);
    for (int i = 0; i < 800; ++i)
        Refresh(150);
    acq.SetRecording(false);
    const QList<QPointF>& revs = view.Points[0];
    EXPECT_LE(revs.last().x() - revs.first().x(), 100.0);
    EXPECT_GT(revs.last().x() - revs.first().x(), 99.8);
    EXPECT_EQ(view.TimeAxis.first, revs.first().x());
    EXPECT_EQ(view.TimeAxis.second, revs.last().x());
    EXPECT_EQ(view.Points[40].size(), revs.size());
    EXPECT_EQ(Lines(Path()).size(), 802);
}

TEST_F(RecorderTest, WrittenFileReadsBackAsTheSameTraces) {
    for (int i = 0; i < kTraceCount; ++i) {
        acq.SetTraceShown(i, true);
        acq.SetTraceMax(i, 10 + i);
    }
    acq.Raw().Slot[38] = 0; // on gas, so the gas traces carry values
    acq.Raw().Slot[32] = 1150;
    acq.Raw().Slot[53] = 4321;
    acq.SetRecording(true);
    for (int i = 0; i < 20; ++i) {
        SetRpm(800 + 10 * i);
        Refresh();
    }
    acq.SetRecording(false);
    const auto recorded = view.Points;

    for (int i = 0; i < kTraceCount; ++i) {
        acq.SetTraceShown(i, false);
        acq.SetTraceMax(i, 1);
    }
    acq.SetPlayback(true);
    ASSERT_TRUE(acq.Playback()) << view.Errors.join('\n').toStdString();
    for (int i = 0; i < kTraceCount; ++i) {
        EXPECT_TRUE(acq.TraceShown(i)) << i;
        EXPECT_EQ(acq.TraceMax(i), 10 + i) << i;
        const auto& got = view.Points[static_cast<std::size_t>(i)];
        const auto& want = recorded[static_cast<std::size_t>(i)];
        ASSERT_EQ(got.size(), want.size()) << i;
        for (qsizetype k = 0; k < got.size(); ++k) {
            EXPECT_NEAR(got[k].x(), want[k].x(), 0.005) << i;
            EXPECT_NEAR(got[k].y(), want[k].y(), 0.005 * 100 / (10 + i)) << i;
        }
    }
    EXPECT_EQ(view.State, TRecorderState::Playback);
    EXPECT_EQ(view.Caption, "Display: trace.txt");
    EXPECT_FALSE(view.SaveEnabled);
    EXPECT_TRUE(view.LoadPressed);
    EXPECT_NEAR(view.TimeAxis.second, 0.001 + 19 * 0.15, 0.005);

    // A new maximum redraws the trace at the height it asks for.
    const double before = view.Points[0].last().y();
    acq.SetTraceMax(0, 5);
    ASSERT_TRUE(acq.ReloadTrace());
    EXPECT_NEAR(view.Points[0].last().y(), before * 2, 1e-9);

    acq.SetPlayback(false);
    EXPECT_EQ(view.State, TRecorderState::Idle);
    EXPECT_TRUE(view.SaveEnabled);
    EXPECT_FALSE(view.LoadPressed);
}

TEST_F(RecorderTest, InvalidFileIsReportedAndPlaybackStaysOff) {
    const struct {
        const char* Name;
        QByteArray Content; // nothing: no file at all
    } cases[] = {
        {"missing.txt", {}},
        {"noscaledata.txt", "time [s]\tRevs [RPM]\r\nSCALING\t10000.0"},
        {"comma.txt", "time [s]\tRevs [RPM]\r\n0.00\t850.00\r\n0.15\t1,5\r\n"},
    };
    for (const auto& c : cases) {
        if (!c.Content.isEmpty()) {
            QFile f(Path(c.Name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.Content);
        }
        view.Errors.clear();
        acq.SetTraceFileName(Path(c.Name));
        acq.SetPlayback(true);
        EXPECT_FALSE(acq.Playback()) << c.Name;
        EXPECT_FALSE(view.LoadPressed) << c.Name;
        EXPECT_EQ(view.Errors, QStringList{QString::fromLatin1(c.Name) + " is not a valid file."});
    }
    // The point before the bad field stays on the chart.
    EXPECT_EQ(view.Points[0].size(), 2);
}

TEST_F(RecorderTest, FileThatCannotBeCreatedLeavesTheRecorderIdle) {
    acq.SetTraceFileName(dir.filePath("no/such/folder/trace.txt"));
    acq.SetRecording(true);
    EXPECT_FALSE(acq.Recording());
    ASSERT_EQ(view.Errors.size(), 1);
    // The Load button is usable again and Save is not shown pressed.
    EXPECT_TRUE(view.LoadEnabled);
    EXPECT_FALSE(view.SavePressed);
}

TEST_F(RecorderTest, RecordingAndPlaybackExcludeEachOther) {
    acq.SetRecording(true);
    Refresh();
    EXPECT_FALSE(view.LoadEnabled);
    acq.SetPlayback(true);
    EXPECT_FALSE(acq.Playback());
    acq.SetRecording(false);
    EXPECT_TRUE(view.LoadEnabled);
    acq.SetPlayback(true);
    ASSERT_TRUE(acq.Playback());
    acq.SetRecording(true);
    EXPECT_FALSE(acq.Recording());
    acq.SetPlayback(false);
}

TEST_F(RecorderTest, SwitchingTheAcquisitionRestartsTheTimeColumn) {
    acq.SetRecording(true);
    for (int i = 0; i < 5; ++i)
        Refresh(1000);
    acq.SetStandardAcquisition(false);
    acq.SetMinimumsAcquisition(true);
    Refresh(1000);
    acq.SetRecording(false);
    const QList<QByteArray> lines = Lines(Path());
    EXPECT_TRUE(lines[5].startsWith("4.00\t"));
    EXPECT_TRUE(lines[6].startsWith("0.00\t"));
    EXPECT_TRUE(view.MinimumsChecked);
    EXPECT_FALSE(view.StandardChecked);
}
