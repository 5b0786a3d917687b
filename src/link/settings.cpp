#include "settings.h"

#include <QSettings>

namespace ambrel {

QString TSettingsStore::Group(const QString& key) {
    QString group = key;
    if (group.startsWith(kSettingsKey, Qt::CaseInsensitive))
        group = group.mid(kSettingsKey.size());
    group.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (group.startsWith(QLatin1Char('/')))
        group.remove(0, 1);
    while (group.endsWith(QLatin1Char('/')))
        group.chop(1);
    return group;
}

QString TSettingsStore::ReadString(const QString& key, const QString& name) const {
    return Value(Group(key), name).toString();
}

int TSettingsStore::ReadInteger(const QString& key, const QString& name) const {
    bool ok = false;
    const int value = Value(Group(key), name).toInt(&ok);
    return ok ? value : 0;
}

bool TSettingsStore::ReadBool(const QString& key, const QString& name) const {
    // Stored as an integer; a hand-edited "true" is honoured too.
    const QString text = Value(Group(key), name).toString();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    return text.toInt() != 0;
}

void TSettingsStore::WriteString(const QString& key, const QString& name, const QString& value) {
    SetValue(Group(key), name, value);
}

void TSettingsStore::WriteInteger(const QString& key, const QString& name, int value) {
    SetValue(Group(key), name, value);
}

void TSettingsStore::WriteBool(const QString& key, const QString& name, bool value) {
    SetValue(Group(key), name, value ? 1 : 0);
}

// ---------------------------------------------------------------- QSettings

namespace {

QVariant ReadScope(QSettings::Scope scope, const QString& group, const QString& name) {
    QSettings settings(QSettings::NativeFormat, scope, QStringLiteral("Norvane"), QStringLiteral("Ambrel Q7"));
    // Only this key: Qt's own fall-backs would also look at the organisation's defaults.
    settings.setFallbacksEnabled(false);
    if (!group.isEmpty())
        settings.beginGroup(group);
    return settings.value(name);
}

} // namespace

QVariant TQtSettingsStore::Value(const QString& group, const QString& name) const {
    const QVariant user = ReadScope(QSettings::UserScope, group, name);
    return user.isValid() ? user : ReadScope(QSettings::SystemScope, group, name);
}

void TQtSettingsStore::SetValue(const QString& group, const QString& name, const QVariant& value) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Norvane"),
                       QStringLiteral("Ambrel Q7"));
    if (!settings.isWritable())
        return;
    if (!group.isEmpty())
        settings.beginGroup(group);
    settings.setValue(name, value);
}

// ---------------------------------------------------------------- memory

QString TMemorySettingsStore::Path(const QString& group, const QString& name) {
    // Registry keys and value names are not case-sensitive.
    return (group + QLatin1Char('/') + name).toLower();
}

bool TMemorySettingsStore::Contains(const QString& key, const QString& name) const {
    return m_values.contains(Path(Group(key), name));
}

QVariant TMemorySettingsStore::Value(const QString& group, const QString& name) const {
    const auto it = m_values.constFind(Path(group, name));
    if (it != m_values.constEnd())
        return *it;
    return m_readThrough ? m_readThrough->Value(group, name) : QVariant();
}

void TMemorySettingsStore::SetValue(const QString& group, const QString& name, const QVariant& value) {
    m_values.insert(Path(group, name), value);
}

} // namespace ambrel
