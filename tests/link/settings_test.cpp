// The settings stores: what absent values read as, sub-keys, the installer's machine-wide
// values under the user's own, and a store whose writes never leave memory.

#include "link/settings.h"
#include "support/qtprinters.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ambrel;

namespace {

// Points the machine-wide scope at a folder of the test's own, as the user scope already is.
class InstalledSettings : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, m_system.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, m_system.path());
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Norvane", "Ambrel Q7").clear();
    }
    void TearDown() override {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Norvane", "Ambrel Q7").clear();
    }
    static void Install(const QString& name, const QVariant& value) {
        QSettings(QSettings::NativeFormat, QSettings::SystemScope, "Norvane", "Ambrel Q7").setValue(name, value);
    }
    static QVariant Machine(const QString& name) {
        return QSettings(QSettings::NativeFormat, QSettings::SystemScope, "Norvane", "Ambrel Q7").value(name);
    }

private:
    QTemporaryDir m_system;
};

} // namespace

TEST(SettingsStore, AbsentValuesReadAsEmptyZeroFalseAndSubKeysKeepTheirOwnValues) {
    TQtSettingsStore qt;
    TMemorySettingsStore memory;
    for (TSettingsStore* store : {static_cast<TSettingsStore*>(&qt), static_cast<TSettingsStore*>(&memory)}) {
        const QString key = kSettingsKey;
        EXPECT_EQ(store->ReadString(key, "NoSuchValue"), "");
        EXPECT_EQ(store->ReadInteger(key, "NoSuchValue"), 0);
        EXPECT_FALSE(store->ReadBool(key, "NoSuchValue"));
        store->WriteInteger(key, "COM_Port", 7);
        store->WriteBool(key, "COM_Autoscan", true);
        store->WriteString(key, "Language", "DEU");
        store->WriteString(key + "\\Windows", "Left", "12");
        EXPECT_EQ(store->ReadInteger(key, "COM_Port"), 7);
        EXPECT_TRUE(store->ReadBool(key, "COM_Autoscan"));
        EXPECT_EQ(store->ReadString(key, "Language"), "DEU");
        EXPECT_EQ(store->ReadInteger(key + "\\Windows", "Left"), 12);
        EXPECT_EQ(store->ReadInteger(key, "Left"), 0);
        store->WriteBool(key, "COM_Autoscan", false);
        EXPECT_FALSE(store->ReadBool(key, "COM_Autoscan"));
        store->WriteString(key, "Text", "true"); // a hand-edited flag
        EXPECT_TRUE(store->ReadBool(key, "Text"));
        store->WriteString(key, "Text", "abc");
        EXPECT_EQ(store->ReadInteger(key, "Text"), 0);
    }
}

TEST_F(InstalledSettings, InstallerValuesAreReadUntilTheUserStoresHisOwnAndAreNeverWritten) {
    Install("ConfigFolder", "C:/Configurations");
    Install("COM_Port", 4);
    TQtSettingsStore store;
    EXPECT_EQ(store.ReadString(kSettingsKey, "ConfigFolder"), "C:/Configurations");
    EXPECT_EQ(store.ReadInteger(kSettingsKey, "COM_Port"), 4);
    store.WriteInteger(kSettingsKey, "COM_Port", 9);
    EXPECT_EQ(store.ReadInteger(kSettingsKey, "COM_Port"), 9);
    EXPECT_EQ(Machine("COM_Port").toInt(), 4);
}

TEST_F(InstalledSettings, MemoryStoreReadsThroughButKeepsItsWrites) {
    TQtSettingsStore installed;
    installed.WriteInteger(kSettingsKey, "COM_Port", 3);
    installed.WriteString(kSettingsKey, "COM_PortName", "/dev/ttyUSB0");
    TMemorySettingsStore tool(&installed);
    EXPECT_EQ(tool.ReadInteger(kSettingsKey, "COM_Port"), 3);
    tool.WriteInteger(kSettingsKey, "COM_Port", 0);
    tool.WriteString(kSettingsKey, "COM_PortName", "/dev/pts/7");
    EXPECT_EQ(tool.ReadString(kSettingsKey, "COM_PortName"), "/dev/pts/7");
    EXPECT_EQ(TQtSettingsStore().ReadInteger(kSettingsKey, "COM_Port"), 3);
    EXPECT_EQ(TQtSettingsStore().ReadString(kSettingsKey, "COM_PortName"), "/dev/ttyUSB0");
}
