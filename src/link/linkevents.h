#pragma once
// What the link manager reports, as typed events: the state of the port and the ECU for
// the status bar, the exchange engine's messages with the command they concern, and the
// few notices that the window shows as a timed message or an error box. The link does not
// word them; the window and the command line turn them into the texts the user reads with
// the functions of session/linktexts.h.

#include <QMetaType>
#include <QString>

namespace ambrel {

// Status panel 0: where the link stands with the port and the ECU.
enum class TLinkState {
    Trying,        // the port is open, the ECU not yet heard
    AutoScan,      // the cable's port was taken over by the auto-scan
    NoPort,        // no port in the system
    AlreadyInUse,  // the fallback port could not be opened
    PortError,     // a named port failed or would not open; Detail: the system's reason
    Breakdown,     // the port failed with an I/O error
    Modem,         // the request came back as an echo
    NotConnected,  // the ECU stopped answering (status panel 1 is emptied too)
    Connected,     // identified; Detail: the identification's name, Version, Serial
};

struct TLinkStateEvent {
    TLinkState State = TLinkState::Trying;
    QString Port;    // as texts name it ("COM3", "/dev/ttyUSB0"); empty for none
    QString Detail;  // PortError: the reason; Connected: the ECU's name
    int HardwareVersion = 0; // Connected
    QString Version;         // Connected: the firmware version text
    QString Serial;          // Connected: the last word of the identification
};

// A line of the communication list, about the request with `Code`.
enum class TComEvent {
    QueueFull,      // the transmit queue refused the request
    WriteError,     // the port would not take the request; Detail: the reason
    Incomplete,     // the answer broke off
    ChecksumIn,     // the answer came with a wrong checksum
    Unexpected,     // an answer that is not this request's
    Nack,           // the ECU refused the request
    ChecksumOut,    // the ECU found a wrong checksum in the request
    FrameTimeout,   // a frame was started and never ended
    Overrun,
    Parity,
    Framing,
    TxFull,
    LineBreak,
};

struct TComMessage {
    TComEvent Event = TComEvent::Unexpected;
    quint16 Code = 0;
    QString Detail;
};

// Shown as a timed message (the first three) or an error box (the last).
enum class TLinkNotice { EcuResetted, SlaveSelected, CompensatedSelected, ResetFailed };

} // namespace ambrel

Q_DECLARE_METATYPE(ambrel::TLinkStateEvent)
Q_DECLARE_METATYPE(ambrel::TComMessage)
