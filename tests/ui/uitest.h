#pragma once
// Helpers of the window tests: run the event loop until a condition holds, and the
// workbench over the in-memory port.

#include "app/workbench.h"
#include "link/commands.h"
#include "link/settings.h"
#include "support/fakeport.h"
#include "support/scripteddialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace ambrel::test {

// Runs the event loop until `done` or `timeoutMs`; returns whether `done` came true.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents();
    }
    return true;
}

// The window over the in-memory port, ticked by hand: no wall-clock waiting.
class FakeWorkbench : public ::testing::Test {
protected:
    void SetUp() override {
        directory.Ports = {"COM1", "COM3", "COM4"};
        app::TWorkbenchOptions options;
        options.Port = "COM3";
        options.SerialPort = &port;
        options.Directory = &directory;
        options.Dialogs = &dialogs;
        options.Settings = &settings;
        options.RunMasterTimer = false;
        workbench = std::make_unique<app::TWorkbench>(options);
        ASSERT_TRUE(workbench->Start());
    }
    void Tick(int n) {
        for (int i = 0; i < n; ++i)
            workbench->Link().Tick();
    }
    // Answers whatever the link sends next with its reply code and `data`.
    void AnswerNext(const QByteArray& data = {}) {
        const auto before = port.Written.size();
        for (int i = 0; i < 100 && port.Written.size() == before; ++i)
            workbench->Link().Tick();
        ASSERT_GT(port.Written.size(), before);
        port.FeedPayload(MakePayload(ReplyCodeFor(port.WrittenCodes().last()), data));
        workbench->Link().DeliverPendingReplies();
    }
    TFakeSerialPort port;
    TFakePortDirectory directory;
    TScriptedDialogs dialogs;
    TMemorySettingsStore settings;
    std::unique_ptr<app::TWorkbench> workbench;
};

// The window on the simulated ECU, started in-process and run by the real event loop.
class DemoFixture : public ::testing::Test {
protected:
    void StartDemo(bool waitConnected) {
        app::TWorkbenchOptions options;
        options.Demo = true;
        options.Dialogs = &dialogs;
        workbench = std::make_unique<app::TWorkbench>(options);
        ASSERT_TRUE(workbench->Start());
        if (waitConnected) {
            ASSERT_TRUE(WaitFor([&] { return workbench->Link().ECUisConnected(); }));
        }
    }
    TScriptedDialogs dialogs;
    std::unique_ptr<app::TWorkbench> workbench;
};

} // namespace ambrel::test
