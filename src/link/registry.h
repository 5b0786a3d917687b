#pragma once
// The program's persistent settings. Keys are written as the program has always named them
// ("Software\\Norvane\\Ambrel Q7"); the key of the program itself maps onto
// QSettings("Norvane", "Ambrel Q7"), any other key onto a group of the same store.
// A value that is absent reads as an empty string, 0 or false. When the store cannot
// be written nothing is written and nothing is reported, as callers expect.

#include <QString>

namespace ambrel {

inline const QString kSettingsKey = QStringLiteral("Software\\Norvane\\Ambrel Q7");

QString RegReadString(const QString& key, const QString& name);
int RegReadInteger(const QString& key, const QString& name);
bool RegReadBool(const QString& key, const QString& name);
void RegWriteString(const QString& key, const QString& name, const QString& value);
void RegWriteInteger(const QString& key, const QString& name, int value);
void RegWriteBool(const QString& key, const QString& name, bool value);

} // namespace ambrel
