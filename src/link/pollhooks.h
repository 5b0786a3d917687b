#pragma once
// What the link manager needs of the layers above it, as small interfaces so the link
// depends on nothing but itself. The live-measurement layer owns the poll modes, the
// configuration model owns the live map refresh switch, the eOBD window chooses its poll.
// The simple implementations here hold the flags alone; the command-line tool and the
// tests use them until the real owners are connected.

#include "frame.h"

namespace ambrel {

class TAcquisitionModes {
public:
    virtual ~TAcquisitionModes() = default;
    virtual bool StandardAcquisition() const = 0;
    virtual bool MinimumsAcquisition() const = 0;
    virtual bool StatusUpdate() const = 0;
    virtual void SetStandardAcquisition(bool on) = 0;
    virtual void SetMinimumsAcquisition(bool on) = 0;
    virtual void SetStatusUpdate(bool on) = 0;
    virtual void SetRecording(bool on) = 0;
    // True while the meters window is shown: a connection then starts the standard poll.
    virtual bool WantsStandardAcquisition() const { return false; }
    // The consumer of the status requests (the recorder); nullptr = nobody listens.
    virtual TConsumerInterface* StatusConsumer() { return nullptr; }
};

class TSimpleAcquisitionModes final : public TAcquisitionModes {
public:
    bool StandardAcquisition() const override { return m_standard; }
    bool MinimumsAcquisition() const override { return m_minimums; }
    bool StatusUpdate() const override { return m_statusUpdate; }
    void SetStandardAcquisition(bool on) override { m_standard = on; }
    void SetMinimumsAcquisition(bool on) override { m_minimums = on; }
    void SetStatusUpdate(bool on) override { m_statusUpdate = on; }
    void SetRecording(bool on) override { m_recording = on; }
    bool Recording() const { return m_recording; }

private:
    bool m_standard = false;
    bool m_minimums = false;
    bool m_statusUpdate = false;
    bool m_recording = false;
};

// The live refresh of the displayed map (every 2.01 s while the ECU adapts it).
class TMapRefreshControl {
public:
    virtual ~TMapRefreshControl() = default;
    virtual bool EnableMapRefresh() const = 0;
    virtual void SetEnableMapRefresh(bool on) = 0;
    virtual void RefreshAdaptedMaps() {}
};

class TSimpleMapRefresh final : public TMapRefreshControl {
public:
    bool EnableMapRefresh() const override { return m_enabled; }
    void SetEnableMapRefresh(bool on) override { m_enabled = on; }

private:
    bool m_enabled = false;
};

// The eOBD window's poll: none, the raw log, or the scan-tool record.
enum class TObdAcquisition { OBDnone, OBDlog, OBDacquire };

class TObdPoll {
public:
    virtual ~TObdPoll() = default;
    virtual TObdAcquisition ObdAcquisitionType() const = 0;
    virtual TConsumerInterface* ObdConsumer() = 0;
};

} // namespace ambrel
