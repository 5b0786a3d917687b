#include "portdiscovery.h"

#include <QSerialPortInfo>

#include <algorithm>

namespace ambrel {

namespace {

// A run of digits without its leading zeros (one zero stays for the number 0).
QStringView Significant(QStringView digits) {
    while (digits.size() > 1 && digits.front() == QLatin1Char('0'))
        digits = digits.mid(1);
    return digits;
}

// Names compared as text, except that runs of digits compare as numbers: COM2 < COM10.
// (QCollator's numeric mode depends on how Qt was built and on the locale.)
bool NaturalLess(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const qsizetype si = i, sj = j;
            while (i < a.size() && a[i].isDigit())
                ++i;
            while (j < b.size() && b[j].isDigit())
                ++j;
            const QStringView na = Significant(QStringView(a).mid(si, i - si));
            const QStringView nb = Significant(QStringView(b).mid(sj, j - sj));
            if (na.size() != nb.size())
                return na.size() < nb.size();
            if (const int c = na.compare(nb); c != 0)
                return c < 0;
            continue;
        }
        const QChar ca = a[i].toCaseFolded(), cb = b[j].toCaseFolded();
        if (ca != cb)
            return ca < cb;
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

} // namespace

TPortChoice ChoosePorts(const QList<TPortRecord>& records, TPortNaming naming) {

    struct TNamed {
        QString Name;
        int CableRank; // 0 the cable's vendor, 1 another USB adapter, 2 not USB
    };
    QList<TNamed> named;
    for (const TPortRecord& r : records) {
        const QString name = naming == TPortNaming::Windows ? r.PortName : r.SystemLocation;
        if (name.isEmpty())
            continue;
        const int rank = !r.VendorId ? 2 : (*r.VendorId == kCableVendorId ? 0 : 1);
        const auto same = std::find_if(named.begin(), named.end(), [&](const TNamed& n) {
            return n.Name.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (same == named.end())
            named.append({name, rank});
        else
            same->CableRank = std::min(same->CableRank, rank); // listed twice: keep what is known
    }
    std::sort(named.begin(), named.end(),
              [](const TNamed& x, const TNamed& y) { return NaturalLess(x.Name, y.Name); });

    TPortChoice choice;
    int best = 2;
    for (const TNamed& n : named) {
        choice.Ports << n.Name;
        if (n.CableRank < best) {
            best = n.CableRank;
            choice.UsbCable = n.Name;
        }
    }
    return choice;
}

TPortRecord PortRecord(const QSerialPortInfo& info) {
    TPortRecord r;
    r.PortName = info.portName();
    r.SystemLocation = info.systemLocation();
    r.Description = info.description();
    r.Manufacturer = info.manufacturer();
    if (info.hasVendorIdentifier())
        r.VendorId = info.vendorIdentifier();
    if (info.hasProductIdentifier())
        r.ProductId = info.productIdentifier();
    return r;
}

QList<TPortRecord> SystemPortRecords() {
    QList<TPortRecord> records;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        records << PortRecord(info);
    return records;
}

} // namespace ambrel
