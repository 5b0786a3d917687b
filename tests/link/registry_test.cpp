#include "link/registry.h"

#include "support/qtprinters.h"

#include <gtest/gtest.h>

using namespace ambrel;

TEST(Registry, AbsentValuesReadAsEmptyZeroFalseAndWritesRoundTrip) {
    const QString key = kSettingsKey;
    EXPECT_EQ(RegReadString(key, "NoSuchValue"), "");
    EXPECT_EQ(RegReadInteger(key, "NoSuchValue"), 0);
    EXPECT_FALSE(RegReadBool(key, "NoSuchValue"));

    RegWriteInteger(key, "COM_Port", 7);
    RegWriteBool(key, "COM_Autoscan", true);
    RegWriteString(key, "Language", "DEU");
    RegWriteString(key + "\\Windows", "Left", "12");
    EXPECT_EQ(RegReadInteger(key, "COM_Port"), 7);
    EXPECT_TRUE(RegReadBool(key, "COM_Autoscan"));
    EXPECT_EQ(RegReadString(key, "Language"), "DEU");
    EXPECT_EQ(RegReadInteger(key + "\\Windows", "Left"), 12);
    EXPECT_EQ(RegReadInteger(key, "Left"), 0); // the sub-key keeps its own values
    RegWriteBool(key, "COM_Autoscan", false);
    EXPECT_FALSE(RegReadBool(key, "COM_Autoscan"));
}
