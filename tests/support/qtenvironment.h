#pragma once
// The Qt application object of a test executable. It lives in a GoogleTest environment:
// a function-local static application crashes at exit. Settings go to a temporary
// folder so that tests never touch the user's own.

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace ambrel::test {

template <class TApp = QCoreApplication>
class TQtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "ambrel-tests";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<TApp>(argc, argv);
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
    }
    void TearDown() override { m_app.reset(); }

private:
    QTemporaryDir m_settings;
    std::unique_ptr<TApp> m_app;
};

} // namespace ambrel::test
