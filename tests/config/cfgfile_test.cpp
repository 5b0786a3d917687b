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
    // A file size limit below the file's size stands in for a full disk (and works for
    // every user, unlike folder permissions): the write breaks off part-way.
    TFileResult SaveOnAFullDisk(const QString& path) {
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 1000;
        setrlimit(RLIMIT_FSIZE, &small);
        const TFileResult result = map.SaveToFile(path);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        return result;
    }
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

TEST_F(ConfigFile, OnlySlavAndCompAreStrategies) {
    ASSERT_TRUE(map.SaveToFile(Path("a.cfg")).Ok());
    const QByteArray bytes = ReadAll(Path("a.cfg"));
    for (const auto& [tag, strategy] : {std::pair{"SLAV", strategySlave}, std::pair{"COMP", strategyCompensated}}) {
        QByteArray file = bytes;
        file.replace(4, 4, tag);
        WriteAll(Path("t.cfg"), file);
        TDataMap loaded;
        ASSERT_TRUE(loaded.LoadFromFile(Path("t.cfg")).Ok()) << tag;
        EXPECT_EQ(loaded.StrategyFlag, strategy) << tag;
        EXPECT_EQ(static_cast<int>(ReadConfigFile(file, fuelLPG, "u")->Configuration.StrategyFlag), strategy);
    }
}

// Only a complete file may replace the configuration: each of these would put defaults or
// noise where a calibration was. The reason names what is wrong; nothing of the model moves.
TEST_F(ConfigFile, IncompleteOrForeignFilesAreRefusedWithTheirReason) {
    map.SwitchRPM = 3100;
    ASSERT_TRUE(map.SaveToFile(Path("a.cfg")).Ok());
    const QByteArray good = ReadAll(Path("a.cfg"));
    const qsizetype block4bank2 = 9 + 62 + 26 + 132 + 132 + 132; // offset of its length byte
    QByteArray misnamed = good;
    misnamed[block4bank2 + 2] = 1; // block 4's second record claims bank 1
    QByteArray wrongLength = good;
    wrongLength[9] = 60;
    QByteArray random(1388, '\0');
    QRandomGenerator generator(7);
    for (char& c : random)
        c = static_cast<char>(generator.bounded(256));
    struct Case {
        const char* what;
        QByteArray file;
        const char* reason;
    };
    const Case cases[] = {
        {"empty", QByteArray(), "ends inside its version text"},
        {"another version", QByteArray(good).replace(0, 4, "9.99"), "\"2.20\""},
        {"cut inside the tag", good.left(6), "ends inside its strategy tag"},
        {"header only", good.left(8), "ends before its record count"},
        {"count 0", QByteArray("2.20COMP\x00", 9), "announces 0 records"},
        {"count 255", QByteArray(good).replace(8, 1, "\xFF"), "announces 255 records"},
        {"lower-case tag", QByteArray(good).replace(4, 4, "slav"), "strategy tag"},
        {"unknown tag", QByteArray(good).replace(4, 4, "GAS!"), "strategy tag"},
        {"cut inside block 2", good.left(9 + 62 + 10), "ends inside block 2"},
        {"cut inside block 4 bank 2", good.left(block4bank2 + 40), "ends inside block 4, bank 2"},
        {"cut before the last record", good.left(good.size() - 109), "ends inside block 13"},
        {"one byte short", good.left(good.size() - 1), "ends inside block 13"},
        {"record of the wrong size", wrongLength, "block 1 holds 60 bytes instead of 61"},
        {"record of another bank", misnamed, "block 4, bank 2 names another"},
        {"zeros", QByteArray(1388, '\0'), "\"2.20\""},
        {"random bytes", random, "\"2.20\""},
    };
    map.SetSaved(false);
    const RMappatura record = map.RawData().Record;
    for (const Case& k : cases) {
        WriteAll(Path("bad.cfg"), k.file);
        const TFileResult result = map.LoadFromFile(Path("bad.cfg"));
        ASSERT_FALSE(result.Ok()) << k.what;
        EXPECT_TRUE(result.Error.contains(QLatin1String(k.reason))) << k.what << ": " << result.Error.toStdString();
        EXPECT_TRUE(result.Error.contains("bad.cfg")) << k.what;
        EXPECT_FALSE(ReadConfigFile(k.file, fuelLPG, "u").has_value()) << k.what;
    }
    EXPECT_EQ(map.RawData().Record, record);
    EXPECT_EQ(map.SwitchRPM, 3100);
    EXPECT_FALSE(map.Saved());
    // Bytes after the last record were never part of the configuration.
    WriteAll(Path("tail.cfg"), good + "junk");
    TDataMap loaded;
    ASSERT_TRUE(loaded.LoadFromFile(Path("tail.cfg")).Ok());
    EXPECT_EQ(loaded.SwitchRPM, 3100);
    // A folder is not a file to load.
    EXPECT_TRUE(map.LoadFromFile(dir.path()).Error.contains("folder"));
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
    const TFileResult result = SaveOnAFullDisk(Path("keep.cfg"));
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

// A save that fails gives a read-only file its attribute back and leaves nothing beside it.
TEST_F(ConfigFile, FailedSaveOverAReadOnlyFileKeepsItReadOnly) {
    ASSERT_TRUE(map.SaveToFile(Path("ro.cfg")).Ok());
    const QByteArray old = ReadAll(Path("ro.cfg"));
    QFile::setPermissions(Path("ro.cfg"), QFile::ReadOwner | QFile::ReadUser);
    const auto before = QFile::permissions(Path("ro.cfg"));
    map.SwitchRPM = 2500;
    const TFileResult result = SaveOnAFullDisk(Path("ro.cfg"));
    EXPECT_FALSE(result.Ok());
    EXPECT_EQ(QFile::permissions(Path("ro.cfg")), before) << result.Error.toStdString();
    EXPECT_EQ(ReadAll(Path("ro.cfg")), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"ro.cfg"});
    // A folder in the target's place is not replaced.
    QDir(dir.path()).mkpath("sub/inner");
    EXPECT_FALSE(map.SaveToFile(Path("sub")).Ok());
    EXPECT_TRUE(QDir(Path("sub/inner")).exists());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"ro.cfg"});
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
        QString problem;
        const auto content = ReadConfigFile(bytes, fuelLPG, "u", &problem);
        EXPECT_EQ(content.has_value(), problem.isEmpty());
        if (round % 2 == 1) {
            EXPECT_FALSE(content.has_value()); // noise never passes for a configuration
        }
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
