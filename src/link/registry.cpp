#include "registry.h"

#include <QSettings>

namespace ambrel {

namespace {

// Opens the store and enters the group that stands for the key.
struct TKeyScope {
    QSettings settings{QStringLiteral("Norvane"), QStringLiteral("Ambrel Q7")};
    explicit TKeyScope(const QString& key) {
        QString group = key;
        if (group.startsWith(kSettingsKey, Qt::CaseInsensitive))
            group = group.mid(kSettingsKey.size());
        group.replace(QLatin1Char('\\'), QLatin1Char('/'));
        while (group.startsWith(QLatin1Char('/')))
            group.remove(0, 1);
        if (!group.isEmpty())
            settings.beginGroup(group);
    }
};

} // namespace

QString RegReadString(const QString& key, const QString& name) {
    TKeyScope scope(key);
    return scope.settings.value(name).toString();
}

int RegReadInteger(const QString& key, const QString& name) {
    TKeyScope scope(key);
    bool ok = false;
    const int value = scope.settings.value(name).toInt(&ok);
    return ok ? value : 0;
}

bool RegReadBool(const QString& key, const QString& name) {
    // Stored as an integer; a hand-edited "true" is honoured too.
    TKeyScope scope(key);
    const QString text = scope.settings.value(name).toString();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    return text.toInt() != 0;
}

void RegWriteString(const QString& key, const QString& name, const QString& value) {
    TKeyScope scope(key);
    if (scope.settings.isWritable())
        scope.settings.setValue(name, value);
}

void RegWriteInteger(const QString& key, const QString& name, int value) {
    TKeyScope scope(key);
    if (scope.settings.isWritable())
        scope.settings.setValue(name, value);
}

void RegWriteBool(const QString& key, const QString& name, bool value) {
    RegWriteInteger(key, name, value ? 1 : 0);
}

} // namespace ambrel
