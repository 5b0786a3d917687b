#include "linktexts.h"

#include "link/bytequeue.h"

#include <QCoreApplication>

namespace ambrel {

namespace {
QString Tr(const char* text) {
    return QCoreApplication::translate("TLinkTexts", text);
}
} // namespace

QString LinkStateText(const TLinkStateEvent& e) {
    switch (e.State) {
    case TLinkState::Trying:
        return Tr("Trying on ") + e.Port;
    case TLinkState::AutoScan:
        return Tr("Auto-scan on ") + e.Port;
    case TLinkState::NoPort:
        return Tr("No COM port found");
    case TLinkState::AlreadyInUse:
        return e.Port + QLatin1Char(' ') + Tr("already in use");
    case TLinkState::PortError:
        return e.Port + QStringLiteral(": ") + e.Detail;
    case TLinkState::Breakdown:
        return Tr("Communication breakdown !");
    case TLinkState::Modem:
        return Tr("ERROR: modem on ") + e.Port;
    case TLinkState::NotConnected:
        return e.Port.isEmpty() ? Tr("No COM port found") : Tr("ECU not connected on ") + e.Port;
    case TLinkState::Connected: {
        const QString gap(4, QLatin1Char(' '));
        return e.Detail + Tr(" connected on ") + e.Port + gap + Tr("HW") + QStringLiteral(": ") +
               QString::number(e.HardwareVersion) + gap + Tr("FW") + QStringLiteral(": ") + e.Version + gap + e.Serial;
    }
    }
    return {};
}

QString ComMessageText(const TComMessage& m) {
    const QString code = HexWord(m.Code);
    switch (m.Event) {
    case TComEvent::QueueFull:
        return Tr("Transmit queue full, command 0x") + code + Tr(" refused");
    case TComEvent::WriteError:
        return Tr("PC COM port write error, command 0x") + code + QStringLiteral(": ") + m.Detail;
    case TComEvent::Incomplete:
        return Tr("Incoming frame incomplete, command 0x") + code;
    case TComEvent::ChecksumIn:
        return Tr("Checksum error in incoming frame, command 0x") + code;
    case TComEvent::Unexpected:
        return Tr("Unespected answer to command 0x") + code;
    case TComEvent::Nack:
        return Tr("NACK received to command 0x") + code;
    case TComEvent::ChecksumOut:
        return Tr("Checksum error in outgoing frame, command 0x") + code;
    case TComEvent::FrameTimeout:
        return Tr("Frame time-out error in command 0x") + code;
    case TComEvent::Overrun:
        return Tr("PC COM port overrun error");
    case TComEvent::Parity:
        return Tr("PC COM port parity error");
    case TComEvent::Framing:
        return Tr("PC COM port framing error");
    case TComEvent::TxFull:
        return Tr("PC COM port full TX queue error");
    case TComEvent::LineBreak:
        return Tr("PC COM line break error");
    }
    return {};
}

QString LinkNoticeText(TLinkNotice notice) {
    switch (notice) {
    case TLinkNotice::EcuResetted:
        return Tr("ECU resetted");
    case TLinkNotice::SlaveSelected:
        return Tr("SLAVE");
    case TLinkNotice::CompensatedSelected:
        return Tr("COMPENSATED");
    case TLinkNotice::ResetFailed:
        return Tr("Reset failed: check connections.");
    }
    return {};
}

int LinkNoticeMilliseconds(TLinkNotice notice) {
    switch (notice) {
    case TLinkNotice::EcuResetted:
        return 500;
    case TLinkNotice::SlaveSelected:
    case TLinkNotice::CompensatedSelected:
        return 1000;
    case TLinkNotice::ResetFailed:
        return 0;
    }
    return 0;
}

} // namespace ambrel
