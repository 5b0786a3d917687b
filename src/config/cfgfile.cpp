#include "cfgfile.h"

#include "datamap.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace ambrel {

QByteArray ConfigFileBytes(const TRawData& raw, int strategyFlag) {
    QByteArray bytes = QByteArray::number(2.2, 'f', 2); // "2.20", whatever the locale
    bytes += strategyFlag == strategyCompensated ? QByteArrayLiteral("COMP") : QByteArrayLiteral("SLAV");
    bytes += raw.ToText();
    return bytes;
}

int StrategyFromTag(const QByteArray& tag) {
    return tag == QByteArrayLiteral("SLAV") ? strategySlave : strategyCompensated;
}

std::optional<TConfigFileContent> ReadConfigFile(const QByteArray& bytes, int fuel, const QString& untitledName) {
    if (bytes.size() < kConfigFileHeaderSize)
        return std::nullopt;
    TConfigFileContent content;
    TConfiguration& c = content.Configuration;
    c.StrategyFlag = static_cast<quint8>(StrategyFromTag(bytes.mid(4, 4)));
    c.ApplyDefaults(fuel, false, untitledName);
    TRawData raw;
    c.EncodeImage(raw.Record);
    content.Records = raw.FromText(bytes.mid(kConfigFileHeaderSize));
    c.DecodeMaps(raw.Record);
    c.DecodeParameters(raw.Record);
    content.Record = raw.Record;
    return content;
}

TFileResult TDataMap::SaveToFile(const QString& path) {
    EncodeImage();
    const QByteArray bytes = ConfigFileBytes(m_raw, StrategyFlag);
    // A read-only file is overwritten as the user asked: the attribute is taken off first.
    QFileInfo info(path);
    if (info.exists() && !info.isWritable())
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner | QFileDevice::WriteUser);
    // The bytes go to a temporary file beside the target, which replaces the target only
    // once everything is written: a full disk or a crash never leaves half a file, and
    // never costs the old one.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {tr("Cannot write %1: %2").arg(path, file.errorString())};
    // A write cut short (a full disk, a size limit) can pass unnoticed by the buffered
    // writes and by commit(); the temporary file must hold every byte before it replaces
    // the target.
    const bool written = file.write(bytes) == bytes.size() && file.flush() && file.size() == bytes.size();
    if (!written) {
        const QString error = file.error() != QFileDevice::NoError ? file.errorString() : tr("the file was cut short");
        file.cancelWriting();
        return {tr("Cannot write %1: %2").arg(path, error)};
    }
    if (!file.commit())
        return {tr("Cannot write %1: %2").arg(path, file.errorString())};
    FileName = path;
    SetSaved(true);
    m_view->ShowMessage(tr("File saved"), 1000);
    return {};
}

TFileResult TDataMap::LoadFromFile(const QString& path) {
    // The file is only read: its read-only attribute stays as it is.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {tr("Cannot open %1: %2").arg(path, file.errorString())};
    const QByteArray bytes = file.read(kConfigFileReadLimit);
    if (file.error() != QFileDevice::NoError)
        return {tr("Cannot read %1: %2").arg(path, file.errorString())};
    file.close();
    // The file is read into a configuration of its own; the current one is replaced only
    // when that worked, so a failed load loses nothing.
    std::optional<TConfigFileContent> content = ReadConfigFile(bytes, Fuel, tr("Untitled.cfg"));
    if (!content)
        return {tr("%1 is not a configuration file: it ends before its strategy tag.").arg(path)};

    m_mapRefresh = false;
    const int oldStrategy = StrategyFlag;
    static_cast<TConfiguration&>(*this) = content->Configuration;
    m_raw.Record = content->Record;
    FileName = path;
    if (StrategyFlag != oldStrategy) {
        m_view->StrategyChanged(StrategyFlag);
        emit StrategyFlagChanged(StrategyFlag);
    }
    RefreshViews();
    SetSaved(true);
    return {};
}

} // namespace ambrel
