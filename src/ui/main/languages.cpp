#include "languages.h"

#include <QCoreApplication>
#include <QDir>

namespace ambrel::ui {

const QList<TLanguage>& LanguageTable() {
    static const QList<TLanguage> table = {
        {"German", "Deutsche", 0x0407, "DEU"}, {"English", "English", 0x0009, "ENU"},
        {"French", "Fran\u00e7ais", 0x040C, "FRA"}, {"Italian", "Italiano", 0x0410, "ITA"},
        {"Polish", "Polski", 0x0015, "PLK"},    {"Serbian", "Srbski", 0x081A, "SRL"},
    };
    return table;
}

TLanguageSwitcher::TLanguageSwitcher(QStringList folders, TSettingsStore& settings, QObject* parent)
    : QObject(parent), m_settings(settings), m_folders(std::move(folders)) {}

TLanguageSwitcher::~TLanguageSwitcher() {
    if (m_translator)
        QCoreApplication::removeTranslator(m_translator.get());
}

QStringList TLanguageSwitcher::DefaultFolders() {
    const QString dir = QCoreApplication::applicationDirPath();
    return {dir, QDir(dir).absoluteFilePath(QStringLiteral("../share/ambrel-q7/translations")),
            QDir(dir).absoluteFilePath(QStringLiteral("../../i18n"))};
}

std::unique_ptr<QTranslator> TLanguageSwitcher::Load(const TLanguage& language) const {
    // Named after the workbench program, whichever executable (a test, a tool) loads it.
    const QString base = QStringLiteral("ambrel-q7");
    const QString abbreviation = QString::fromLatin1(language.Abbreviation);
    if (abbreviation.isEmpty())
        return nullptr;
    for (const QString& name : {abbreviation, abbreviation.left(2)}) {
        for (const QString& folder : m_folders) {
            auto translator = std::make_unique<QTranslator>();
            if (translator->load(base + QLatin1Char('.') + name + QStringLiteral(".qm"), folder))
                return translator;
        }
    }
    return nullptr;
}

bool TLanguageSwitcher::SwitchTo(const QString& nativeName) {
    for (const TLanguage& language : LanguageTable()) {
        if (nativeName != QString::fromUtf8(language.NativeName))
            continue;
        std::unique_ptr<QTranslator> translator = Load(language);
        if (!translator)
            return false;
        if (m_translator)
            QCoreApplication::removeTranslator(m_translator.get());
        m_translator = std::move(translator);
        QCoreApplication::installTranslator(m_translator.get()); // every widget gets LanguageChange
        m_active = nativeName;
        m_settings.WriteString(kSettingsKey, QStringLiteral("Language"), QString::fromLatin1(language.EnglishName));
        emit LanguageChanged(nativeName);
        return true;
    }
    return false;
}

void TLanguageSwitcher::RestoreFromSettings() {
    const QString english = m_settings.ReadString(kSettingsKey, QStringLiteral("Language"));
    for (const TLanguage& language : LanguageTable())
        if (english == QLatin1String(language.EnglishName)) {
            SwitchTo(QString::fromUtf8(language.NativeName));
            return;
        }
}

} // namespace ambrel::ui
