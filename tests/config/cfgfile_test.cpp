// .cfg files: the layout byte for byte, strategy tags, short and broken files, and the
// two guarantees: a save never leaves half a file, a failed load loses nothing.

#include "config/cfgfile.h"
#include "config/datamap.h"
#include "support/qtprinters.h"

#include <QDir>
#include <csignal>
#include <sys/resource.h>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ambrel;

namespace {

struct TTitleView final : TConfigView {
    void SetTitle(const QString& title) override { Title = title; }
    void ShowMessage(const QString& text, int ms) override { Messages << QStringLiteral("%1/%2").arg(text).arg(ms); }
    QString Title;
    QStringList Messages;
};

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class ConfigFile : public ::testing::Test {
protected:
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
    TDataMap map;
};

} // namespace

TEST_F(ConfigFile, SavedFileHasTheHeaderAndSixteenRecords) {
    TTitleView view;
    map.SetView(&view);
    map.StrategyFlag = strategyCompensated;
    map.CarModel = "Estate";
    map.ConfigDate = "311224";
    map.SetSaved(false);
    ASSERT_TRUE(map.SaveToFile(Path("a.cfg")).Ok());
    const QByteArray bytes = ReadAll(Path("a.cfg"));
    ASSERT_EQ(bytes.size(), 1388);
    EXPECT_EQ(bytes.left(8), "2.20COMP");
    EXPECT_EQ(bytes.at(8), 16);
    EXPECT_EQ(bytes.mid(8), map.RawData().ToText());
    qsizetype at = 9;
    for (const int length : {61, 25, 131, 131, 131, 131, 29, 68, 29, 131, 131, 14, 65, 9, 169, 108}) {
        EXPECT_EQ(static_cast<quint8>(bytes.at(at)), length);
        at += 1 + length;
    }
    EXPECT_EQ(at, bytes.size());
    EXPECT_TRUE(map.Saved());
    EXPECT_EQ(view.Title, "Ambrel Q7 Diagnostic - Estate Comp. 2024-12-31.cfg");
    EXPECT_EQ(view.Messages, QStringList{"File saved/1000"});
}

TEST_F(ConfigFile, LoadRestoresTheSavedConfigurationAndItsStrategy) {
    map.StrategyFlag = strategyCompensated;
    map.ResetToDefaults(fuelCNG, true);
    map.CarMake = "Maker";
    map.SwitchRPM = 2200;
    map.SensoriMAP[0] = 999; // sensor curves are never read back from a file
    ASSERT_TRUE(map.SaveToFile(Path("a.cfg")).Ok());
    const QByteArray saved = ReadAll(Path("a.cfg"));

    TDataMap loaded;
    TTitleView view;
    loaded.SetView(&view);
    loaded.SetSaved(false);
    ASSERT_TRUE(loaded.LoadFromFile(Path("a.cfg")).Ok());
    EXPECT_EQ(loaded.StrategyFlag, strategyCompensated);
    EXPECT_EQ(loaded.Fuel, fuelCNG);
    EXPECT_TRUE(loaded.Supercharged);
    EXPECT_EQ(loaded.CarMake, "Maker");
    EXPECT_EQ(loaded.SwitchRPM, 2200);
    EXPECT_DOUBLE_EQ(loaded.SensoriMAP[0], 200);
    EXPECT_TRUE(loaded.Saved());
    EXPECT_EQ(loaded.FileName, Path("a.cfg"));
    EXPECT_FALSE(loaded.EnableMapRefresh());
    // Saved again, only the sensor curves (block 12) differ: they are the defaults.
    ASSERT_TRUE(loaded.SaveToFile(Path("b.cfg")).Ok());
    const QByteArray again = ReadAll(Path("b.cfg"));
    const qsizetype block12 = 8 + 1380 - 108 - 1 - 169;
    EXPECT_EQ(again.left(block12), saved.left(block12));
    EXPECT_EQ(again.mid(block12 + 170), saved.mid(block12 + 170));
    EXPECT_NE(again.mid(block12, 170), saved.mid(block12, 170));
}

TEST_F(ConfigFile, OnlySlavInUpperCaseMeansSlave) {
    ASSERT_TRUE(map.SaveToFile(Path("a.cfg")).Ok());
    const QByteArray bytes = ReadAll(Path("a.cfg"));
    for (const auto& [tag, strategy] : {std::pair{"SLAV", strategySlave}, std::pair{"COMP", strategyCompensated},
                                        std::pair{"slav", strategyCompensated}, std::pair{"\x01?x ", strategyCompensated}}) {
        QByteArray file = bytes;
        file.replace(4, 4, tag);
        WriteAll(Path("t.cfg"), file);
        TDataMap loaded;
        ASSERT_TRUE(loaded.LoadFromFile(Path("t.cfg")).Ok()) << tag;
        EXPECT_EQ(loaded.StrategyFlag, strategy) << tag;
        EXPECT_EQ(static_cast<int>(ReadConfigFile(file, fuelLPG, "u")->Configuration.StrategyFlag), strategy);
    }
}

TEST_F(ConfigFile, ShortFilesLoadWhatTheyHold) {
    ASSERT_TRUE(map.SaveToFile(Path("a.cfg")).Ok());
    const QByteArray bytes = ReadAll(Path("a.cfg"));
    struct Case {
        const char* what;
        QByteArray file;
        int records;
    };
    const Case cases[] = {
        {"header and count 0", QByteArray("9.99COMP\x00", 9), 0},
        {"ends right after the tag", QByteArray("2.20SLAV"), 0},
        {"cut inside block 2", bytes.left(9 + 62 + 10), 1},
        {"count announces 200", QByteArray(bytes).replace(8, 1, "\xC8"), 16},
        {"trailing bytes", bytes + "junk", 16},
    };
    for (const Case& k : cases) {
        WriteAll(Path("s.cfg"), k.file);
        TDataMap loaded;
        loaded.SetSaved(false);
        ASSERT_TRUE(loaded.LoadFromFile(Path("s.cfg")).Ok()) << k.what;
        EXPECT_TRUE(loaded.Saved()) << k.what;
        EXPECT_EQ(ReadConfigFile(k.file, fuelLPG, "u")->Records, k.records) << k.what;
        EXPECT_EQ(loaded.Cylinders, 4) << k.what;
    }
    // The defaults carry the file's strategy.
    WriteAll(Path("s.cfg"), QByteArray("2.20COMP\x00", 9));
    TDataMap loaded;
    ASSERT_TRUE(loaded.LoadFromFile(Path("s.cfg")).Ok());
    EXPECT_DOUBLE_EQ(loaded.Offset, 0);
    EXPECT_TRUE(loaded.AdaptiveGas);
}

TEST_F(ConfigFile, FailedLoadLeavesTheConfigurationAndItsStateAsTheyWere) {
    map.StrategyFlag = strategyCompensated;
    map.SwitchRPM = 3100;
    map.FileName = "mine.cfg";
    map.SetSaved(false);
    const RMappatura record = map.RawData().Record;
    for (const QByteArray& file : {QByteArray(), QByteArray("2.20SL")}) {
        WriteAll(Path("bad.cfg"), file);
        const TFileResult result = map.LoadFromFile(Path("bad.cfg"));
        EXPECT_FALSE(result.Ok());
        EXPECT_TRUE(result.Error.contains("bad.cfg")) << result.Error.toStdString();
    }
    EXPECT_FALSE(map.LoadFromFile(Path("missing.cfg")).Ok());
    EXPECT_EQ(map.SwitchRPM, 3100);
    EXPECT_EQ(map.StrategyFlag, strategyCompensated);
    EXPECT_EQ(map.FileName, "mine.cfg");
    EXPECT_FALSE(map.Saved());
    EXPECT_TRUE(map.EnableMapRefresh());
    EXPECT_EQ(map.RawData().Record, record);
}

TEST_F(ConfigFile, FailedSaveKeepsTheOldFileWhole) {
    ASSERT_TRUE(map.SaveToFile(Path("keep.cfg")).Ok());
    const QByteArray old = ReadAll(Path("keep.cfg"));
    map.SetSaved(false);
    map.SwitchRPM = 3000;
    // A file size limit below the file's size stands in for a full disk (and works for
    // every user, unlike folder permissions): the write breaks off part-way.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;
    setrlimit(RLIMIT_FSIZE, &small);
    const TFileResult result = map.SaveToFile(Path("keep.cfg"));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(result.Ok());
    EXPECT_EQ(ReadAll(Path("keep.cfg")), old);
    EXPECT_FALSE(map.Saved());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.cfg"});
}

TEST_F(ConfigFile, ReadOnlyFilesSaveOverAndLoadUnchanged) {
    ASSERT_TRUE(map.SaveToFile(Path("ro.cfg")).Ok());
    QFile::setPermissions(Path("ro.cfg"), QFile::ReadOwner);
    TDataMap loaded;
    ASSERT_TRUE(loaded.LoadFromFile(Path("ro.cfg")).Ok());
    EXPECT_EQ(QFile::permissions(Path("ro.cfg")) & QFile::WriteOwner, 0);
    map.SwitchRPM = 2000;
    EXPECT_TRUE(map.SaveToFile(Path("ro.cfg")).Ok());
    TDataMap again;
    ASSERT_TRUE(again.LoadFromFile(Path("ro.cfg")).Ok());
    EXPECT_EQ(again.SwitchRPM, 2000);
}

// Random bytes, and saved files with random damage, never crash a load or a parse and
// never read past their end (the sanitizers watch); the fuzz target does the same at scale.
TEST(ConfigFileRandom, ArbitraryBytesAreReadSafely) {
    TDataMap map;
    const QByteArray good = ConfigFileBytes(map.RawData(), strategySlave);
    QRandomGenerator random(20240611);
    for (int round = 0; round < 400; ++round) {
        QByteArray bytes;
        if (round % 2 == 0) {
            bytes = good;
            for (int k = random.bounded(1, 12); k > 0; --k)
                bytes[random.bounded(static_cast<int>(bytes.size()))] = static_cast<char>(random.bounded(256));
            bytes.truncate(random.bounded(static_cast<int>(bytes.size()) + 1));
        } else {
            bytes.resize(random.bounded(0, 600));
            for (char& c : bytes)
                c = static_cast<char>(random.bounded(256));
        }
        const auto content = ReadConfigFile(bytes, fuelLPG, "u");
        EXPECT_EQ(content.has_value(), bytes.size() >= 8);
        TRawData raw;
        raw.FromText(bytes);
        raw.ParseBlockImage(bytes);
        TConfiguration c;
        c.DecodeMaps(raw.Record);
        c.DecodeParameters(raw.Record, "010101");
        c.EncodeImage(raw.Record);
        EXPECT_EQ(raw.ToText().size(), kImageTextSize);
    }
}
