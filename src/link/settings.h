#pragma once
// The program's persistent settings, as a store handed to whoever needs it (the link
// manager, the configuration model, the language switcher, the command-line tool); nobody
// reaches a global store.
//
// Keys are written as the program has always named them ("Software\\Norvane\\Ambrel Q7");
// the key of the program itself is the root of the store, a key below it a group of the
// same store. A value that is absent reads as an empty string, 0 or false.
//
// TQtSettingsStore is the program's store (QSettings); TMemorySettingsStore keeps values in
// memory only: the tests use it, and so does the command-line tool, which reads what the
// window stored but must never change it.

#include <QHash>
#include <QString>
#include <QVariant>

namespace ambrel {

inline const QString kSettingsKey = QStringLiteral("Software\\Norvane\\Ambrel Q7");

class TSettingsStore {
public:
    virtual ~TSettingsStore() = default;

    QString ReadString(const QString& key, const QString& name) const;
    int ReadInteger(const QString& key, const QString& name) const;
    bool ReadBool(const QString& key, const QString& name) const;
    void WriteString(const QString& key, const QString& name, const QString& value);
    void WriteInteger(const QString& key, const QString& name, int value);
    // Stored as the integer 0 or 1, as an installation writes it.
    void WriteBool(const QString& key, const QString& name, bool value);

    // The group of the store that stands for a key ("" for the program's own key,
    // "Windows" for "Software\\Norvane\\Ambrel Q7\\Windows").
    static QString Group(const QString& key);

protected:
    // A memory store reads through to another store's values.
    friend class TMemorySettingsStore;
    // The stored value, or an invalid QVariant when there is none.
    virtual QVariant Value(const QString& group, const QString& name) const = 0;
    virtual void SetValue(const QString& group, const QString& name, const QVariant& value) = 0;
};

// The settings of the installed program.
//
// Writes go where an unprivileged user may write: HKEY_CURRENT_USER\Software\Norvane\Ambrel Q7
// on Windows, the user's own settings file elsewhere (~/.config/Norvane/Ambrel Q7.conf).
// The machine-wide key HKEY_LOCAL_MACHINE\Software\Norvane\Ambrel Q7 is where the installer
// writes the first values (folders, COM_Port, COM_Autoscan, CheckRange); a program run by
// an ordinary user may read it but not write it. So a read looks at the user's value first
// and falls back to the machine-wide one (on other systems the system-wide file,
// /etc/xdg/Norvane/Ambrel Q7.conf). What the user changes then shadows what was installed.
// When the user's store cannot be written nothing is written and nothing is reported.
class TQtSettingsStore final : public TSettingsStore {
protected:
    QVariant Value(const QString& group, const QString& name) const override;
    void SetValue(const QString& group, const QString& name, const QVariant& value) override;
};

// Values in memory, gone with the object. With `readThrough` a value not set here is read
// from that store; writes never reach it.
class TMemorySettingsStore final : public TSettingsStore {
public:
    explicit TMemorySettingsStore(const TSettingsStore* readThrough = nullptr) : m_readThrough(readThrough) {}
    bool Contains(const QString& key, const QString& name) const;

protected:
    QVariant Value(const QString& group, const QString& name) const override;
    void SetValue(const QString& group, const QString& name, const QVariant& value) override;

private:
    static QString Path(const QString& group, const QString& name);
    const TSettingsStore* m_readThrough = nullptr;
    QHash<QString, QVariant> m_values;
};

} // namespace ambrel
