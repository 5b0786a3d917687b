#pragma once
// Language switching. The English texts are built in; another language comes from a Qt
// translation file beside the program (or in the installed share folder) named after the
// program and the language's abbreviation, "ambrel-q7.ITA.qm", with the two-letter form
// "ambrel-q7.IT.qm" tried when the three-letter one is missing. Choosing a language installs
// its translator (every window then re-translates itself on the LanguageChange event) and
// remembers the English name in the "Language" setting; a missing file changes nothing.

#include "link/settings.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTranslator>
#include <memory>

namespace ambrel::ui {

struct TLanguage {
    const char* EnglishName;
    const char* NativeName;
    int LocaleId;              // the Windows locale identifier
    const char* Abbreviation;  // the locale's abbreviated language name
};

const QList<TLanguage>& LanguageTable();

class TLanguageSwitcher final : public QObject {
    Q_OBJECT
public:
    // `folders`: where translation files are looked for, in order; `settings` remembers
    // the language as "Language".
    TLanguageSwitcher(QStringList folders, TSettingsStore& settings, QObject* parent = nullptr);
    ~TLanguageSwitcher() override;

    // Switches to the row whose native name is `nativeName`; false (and nothing changed)
    // when no row matches or its file cannot be loaded.
    bool SwitchTo(const QString& nativeName);
    // At start: the language remembered in the settings, when there is one.
    void RestoreFromSettings();
    // The native name of the active language, empty while the built-in texts are used.
    QString Active() const { return m_active; }
    static QStringList DefaultFolders();

signals:
    void LanguageChanged(const QString& nativeName);

private:
    TSettingsStore& m_settings;
    std::unique_ptr<QTranslator> Load(const TLanguage& language) const;
    QStringList m_folders;
    std::unique_ptr<QTranslator> m_translator;
    QString m_active;
};

} // namespace ambrel::ui
