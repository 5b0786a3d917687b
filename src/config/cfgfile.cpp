#include "cfgfile.h"

#include "datamap.h"

#include "link/commands.h"

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
    if (tag == QByteArrayLiteral("SLAV"))
        return strategySlave;
    if (tag == QByteArrayLiteral("COMP"))
        return strategyCompensated;
    return -1;
}

namespace {
QString RecordName(const TBlockBank& bb) {
    return IsBankedBlock(bb.Block) ? QObject::tr("block %1, bank %2").arg(bb.Block).arg(bb.Bank)
                                   : QObject::tr("block %1").arg(bb.Block);
}
} // namespace

QString ConfigFileProblem(const QByteArray& bytes) {
    if (bytes.size() < 4)
        return QObject::tr("it ends inside its version text");
    if (bytes.left(4) != QByteArrayLiteral("2.20"))
        return QObject::tr("it does not start with the version text \"2.20\"");
    if (bytes.size() < kConfigFileHeaderSize)
        return QObject::tr("it ends inside its strategy tag");
    if (StrategyFromTag(bytes.mid(4, 4)) < 0)
        return QObject::tr("its strategy tag is neither \"SLAV\" nor \"COMP\"");
    if (bytes.size() == kConfigFileHeaderSize)
        return QObject::tr("it ends before its record count");
    const int count = static_cast<quint8>(bytes.at(kConfigFileHeaderSize));
    if (count != kImageRecordCount)
        return QObject::tr("it announces %1 records instead of %2").arg(count).arg(kImageRecordCount);
    qsizetype at = kConfigFileHeaderSize + 1;
    for (int i = 0; i < kImageRecordCount; ++i) {
        const TBlockBank bb = ImageRecordBlock(i);
        const int size = BlockImageSize(bb.Block);
        if (at >= bytes.size() || at + 1 + static_cast<quint8>(bytes.at(at)) > bytes.size())
            return QObject::tr("it ends inside %1").arg(RecordName(bb));
        const int length = static_cast<quint8>(bytes.at(at));
        if (length != size)
            return QObject::tr("%1 holds %2 bytes instead of %3").arg(RecordName(bb)).arg(length).arg(size);
        const QByteArray image = bytes.mid(at + 1, length);
        const bool named = static_cast<quint8>(image.at(0)) == bb.Block &&
                           (!IsBankedBlock(bb.Block) || static_cast<quint8>(image.at(1)) == bb.Bank);
        if (!named)
            return QObject::tr("the record for %1 names another block or bank").arg(RecordName(bb));
        at += 1 + length;
    }
    return {};
}

std::optional<TConfigFileContent> ReadConfigFile(const QByteArray& bytes, int fuel, const QString& untitledName,
                                                 QString* problem) {
    const QString fault = ConfigFileProblem(bytes);
    if (problem)
        *problem = fault;
    if (!fault.isEmpty())
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
    // A read-only file is overwritten as the user asked: the attribute is taken off first,
    // and put back when the save fails, so that a failed save leaves the file as it was.
    QFileInfo info(path);
    const QFileDevice::Permissions oldPermissions = info.exists() ? QFile::permissions(path) : QFileDevice::Permissions();
    const bool unlocked = info.exists() && !info.isDir() && !(oldPermissions & QFileDevice::WriteOwner) &&
                          QFile::setPermissions(path, oldPermissions | QFileDevice::WriteOwner | QFileDevice::WriteUser);
    const auto fail = [&](const QString& error) {
        // The "user" flags describe the caller's own access, not the file's mode; on Unix
        // Qt would turn them into owner bits, so only owner, group and other go back.
        if (unlocked)
            QFile::setPermissions(path, oldPermissions & ~(QFileDevice::ReadUser | QFileDevice::WriteUser |
                                                           QFileDevice::ExeUser));
        return TFileResult{tr("Cannot write %1: %2").arg(path, error)};
    };
    if (info.isDir())
        return fail(tr("it is a folder"));
    // The bytes go to a temporary file beside the target, which replaces the target only
    // once everything is written: a full disk or a crash never leaves half a file, and
    // never costs the old one. A replacement that fails removes the temporary file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    // A write cut short (a full disk, a size limit) can pass unnoticed by the buffered
    // writes and by commit(); the temporary file must hold every byte before it replaces
    // the target.
    const bool written = file.write(bytes) == bytes.size() && file.flush() && file.size() == bytes.size();
    if (!written) {
        const QString error = file.error() != QFileDevice::NoError ? file.errorString() : tr("the file was cut short");
        file.cancelWriting();
        return fail(error);
    }
    if (!file.commit())
        return fail(file.errorString());
    FileName = path;
    SetSaved(true);
    m_view->ShowMessage(tr("File saved"), 1000);
    return {};
}

TFileResult TDataMap::LoadFromFile(const QString& path) {
    // The file is only read: its read-only attribute stays as it is.
    if (QFileInfo(path).isDir())
        return {tr("%1 is a folder, not a configuration file.").arg(path)};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {tr("Cannot open %1: %2").arg(path, file.errorString())};
    const QByteArray bytes = file.read(kConfigFileReadLimit);
    if (file.error() != QFileDevice::NoError)
        return {tr("Cannot read %1: %2").arg(path, file.errorString())};
    file.close();
    // The file is read into a configuration of its own; the current one is replaced only
    // when that worked, so a failed load loses nothing.
    QString problem;
    std::optional<TConfigFileContent> content = ReadConfigFile(bytes, Fuel, tr("Untitled.cfg"), &problem);
    if (!content)
        return {tr("%1 is not a complete configuration file: %2.").arg(path, problem)};

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
