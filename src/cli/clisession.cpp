#include "clisession.h"

#include "config/datamap.h"
#include "session/linktexts.h"
#include "session/session.h"

#include "link/bytequeue.h"
#include "link/commands.h"
#include "sim/simserver.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace ambrel::cli {

namespace {
// A guard against a link that keeps retrying for ever (a line that answers only with
// corrupt frames): nothing in the protocol takes this long.
constexpr int kDeadlineMs = 60000;

// Waits for the outcome of one request.
class TWaiter final : public TConsumerInterface {
public:
    explicit TWaiter(QEventLoop& loop) : m_loop(loop) {}
    void OnReply(const TFrame& reply) override { Finish(TExchangeResult::TOutcome::Reply, reply); }
    void OnFailure() override { Finish(m_refused ? TExchangeResult::TOutcome::Refused : TExchangeResult::TOutcome::Failed); }
    void OnTimeout() override { Finish(TExchangeResult::TOutcome::TimedOut); }
    void MarkRefused() { m_refused = true; }
    bool Done() const { return m_done; }
    TExchangeResult Result() const { return m_result; }

private:
    void Finish(TExchangeResult::TOutcome outcome, const TFrame& reply = {}) {
        if (m_done)
            return;
        m_done = true;
        m_result.Outcome = outcome;
        m_result.Reply = reply;
        m_loop.quit();
    }
    QEventLoop& m_loop;
    TExchangeResult m_result;
    bool m_done = false;
    bool m_refused = false;
};
} // namespace

QTextStream& TCliSession::Err() {
    static QTextStream stream(stderr);
    return stream;
}

QTextStream& TCliSession::Out() {
    static QTextStream stream(stdout);
    return stream;
}

TCliSession::TCliSession(const TSessionOptions& options, QObject* parent) : QObject(parent), m_options(options) {
    m_link = std::make_unique<TLinkManager>(m_port, m_directory, m_settings);
    m_model = std::make_unique<TDataMap>(m_settings);
    m_model->SetLink(*m_link);
    m_controller = std::make_unique<TSession>(*m_link, *m_model, m_settings);
    m_controller->SetConnectingSequence(false);
    connect(m_link.get(), &TLinkManager::StateChanged, this, [this](const TLinkStateEvent& event) {
        m_lastStatus = LinkStateText(event);
        if (m_options.Verbose)
            Err() << "status: " << m_lastStatus << Qt::endl;
    });
    connect(m_link.get(), &TLinkManager::ComEvent, this, [this](const TComMessage& message) {
        if (m_options.Verbose)
            Err() << "link: " << ComMessageText(message) << Qt::endl;
    });
}

TCliSession::~TCliSession() {
    m_link->Shutdown();
}

int TCliSession::Connect() {
    QString port = m_options.Port;
    if (m_options.Simulated) {
        // The in-process ECU comes with its engine warm and running on gas, so that a first
        // look at the live values shows an engine at work rather than one not yet started.
        sim::TEngineOptions engine;
        engine.StartMs = 45000;
        m_sim = std::make_unique<sim::TSimServer>(engine);
        if (!m_sim->Start()) {
            Err() << "error: cannot start the simulated ECU: " << m_sim->ErrorString() << Qt::endl;
            return exitFailure;
        }
        port = m_sim->DeviceName();
    }
    if (port.isEmpty()) {
        Err() << "error: no port given (use --port NAME or --sim)" << Qt::endl;
        return exitUsage;
    }
    m_link->Start(port, true);
    if (!m_port.IsOpen() || m_link->PortName() != port) {
        Err() << "error: cannot open " << port << ": " << m_port.ErrorString() << Qt::endl;
        return exitNoAnswer;
    }

    QEventLoop loop;
    int result = -1;
    bool strategy = false, ident = false;
    const auto check = [&] {
        if (m_link->ECUisConnected() && strategy && ident) {
            result = exitOk;
            loop.quit();
        }
    };
    auto c1 = connect(m_link.get(), &TLinkManager::StrategyReported, this, [&](int, bool) { strategy = true; check(); });
    auto c2 = connect(m_link.get(), &TLinkManager::IdentificationChanged, this, [&] { ident = true; check(); });
    auto c3 = connect(m_link.get(), &TLinkManager::ConnectionCheckFailed, this, [&] {
        result = exitNoAnswer;
        loop.quit();
    });
    // A connection that is lost while the strategy or identification is awaited.
    auto c4 = connect(m_link.get(), &TLinkManager::EcuDisconnected, this, [&] {
        result = exitNoAnswer;
        loop.quit();
    });
    // The link's own answers arrive through the posted delivery; a refusal of either ends it.
    auto c5 = connect(m_link.get(), &TLinkManager::NackReceived, this, [&](quint16 code) {
        if (code == cmdReadIdent || code == cmdStrategy || code == cmdCheckConnection) {
            result = exitRefused;
            Err() << "error: the ECU refused " << CommandName(code) << " (NACK)" << Qt::endl;
            loop.quit();
        }
    });
    QTimer::singleShot(kDeadlineMs, &loop, [&] {
        result = exitNoAnswer;
        loop.quit();
    });
    m_link->CheckConnection();
    loop.exec();
    for (const auto& c : {c1, c2, c3, c4, c5})
        disconnect(c);
    if (result == exitNoAnswer)
        Err() << "error: the ECU does not answer on " << port << " ("
              << (m_lastStatus.isEmpty() ? QStringLiteral("no answer") : m_lastStatus) << ")" << Qt::endl;
    return result;
}

bool TCliSession::WaitUntil(const std::function<bool()>& done, int deadlineMs) {
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(deadlineMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

TExchangeResult TCliSession::Exchange(const QByteArray& payload, quint8 flag) {
    QEventLoop loop;
    TWaiter waiter(loop);
    const quint16 code = PayloadCode(payload);
    auto nack = connect(m_link.get(), &TLinkManager::NackReceived, this, [&](quint16 refused) {
        if (refused == code)
            waiter.MarkRefused();
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(kDeadlineMs);
    if (m_link->SendCommand(payload, &waiter, flag) && !waiter.Done())
        loop.exec();
    disconnect(nack);
    if (!waiter.Done()) {
        // Not queued, or the deadline passed: take the request back so nobody calls the
        // waiter after it is gone.
        m_link->FlushLink();
        TExchangeResult r;
        r.Outcome = TExchangeResult::TOutcome::TimedOut;
        return r;
    }
    return waiter.Result();
}

int TCliSession::ReadSensorConfiguration() {
    if (m_controller->BasicConfigurationKnown())
        return exitOk;
    bool failed = false;
    bool refused = false;
    auto c1 = connect(m_controller.get(), &TSession::BasicConfigurationFailed, this, [&] { failed = true; });
    auto c2 = connect(m_link.get(), &TLinkManager::NackReceived, this, [&](quint16 code) {
        if (code == cmdReadBlock)
            refused = true;
    });
    m_controller->ReadBasicConfiguration();
    const bool done = WaitUntil([&] { return m_controller->BasicConfigurationKnown() || failed; }, kDeadlineMs);
    disconnect(c1);
    disconnect(c2);
    if (done && !failed)
        return exitOk;
    if (!done)
        m_link->FlushLink(); // nobody may answer the controller after this
    if (refused) {
        Err() << "error: the ECU refused " << CommandName(cmdReadBlock) << " (NACK)" << Qt::endl;
        return exitRefused;
    }
    Err() << "error: the configuration could not be read (no answer to " << CommandName(cmdReadBlock) << " on "
          << PortLabel() << ")" << Qt::endl;
    return exitNoAnswer;
}

int TCliSession::ReportFailure(const TExchangeResult& result, const QByteArray& payload) {
    const quint16 code = PayloadCode(payload);
    const QString name = CommandName(code).isEmpty() ? QStringLiteral("command 0x") + HexWord(code)
                                                     : CommandName(code);
    switch (result.Outcome) {
    case TExchangeResult::TOutcome::Reply:
        return exitOk;
    case TExchangeResult::TOutcome::Refused:
        Err() << "error: the ECU refused " << name << " (NACK)" << Qt::endl;
        return exitRefused;
    case TExchangeResult::TOutcome::Failed:
    case TExchangeResult::TOutcome::TimedOut:
        break;
    }
    Err() << "error: no answer to " << name << " on " << PortLabel() << Qt::endl;
    return exitNoAnswer;
}

} // namespace ambrel::cli
