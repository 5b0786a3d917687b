// ambrel-q7: the workbench window.
//   --port NAME   open this device instead of the stored port
//   --demo        start the simulated ECU in-process on a pseudo-terminal and use it

#include "workbench.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ambrel::app::SetApplicationIdentity(QStringLiteral("Ambrel Q7"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Workbench for the gas-injection ECU"));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Open this serial device."),
                                        QStringLiteral("NAME"));
    const QCommandLineOption demoOption(QStringLiteral("demo"), QStringLiteral("Run against the simulated ECU."));
    // For the start-up benchmark: "shown" and "connected" on stdout as they happen.
    QCommandLineOption reportOption(QStringLiteral("report-startup"),
                                          QStringLiteral("Print when the window is shown and the ECU connected."));
    reportOption.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(portOption);
    parser.addOption(demoOption);
    parser.addOption(reportOption);
    parser.process(app);

    ambrel::app::TWorkbenchOptions options;
    options.Port = parser.value(portOption);
    options.Demo = parser.isSet(demoOption);
    ambrel::app::TWorkbench workbench(options);
    if (parser.isSet(reportOption)) {
        QObject::connect(&workbench.Link(), &ambrel::TLinkManager::EcuConnected, [] {
            std::printf("connected\n");
            std::fflush(stdout);
        });
    }
    QString error;
    if (!workbench.Start(&error)) {
        std::fprintf(stderr, "ambrel-q7: cannot start the simulated ECU: %s\n", qPrintable(error));
        return 1;
    }
    workbench.Main().showMaximized();
    if (parser.isSet(reportOption)) {
        QTimer::singleShot(0, [] { // after the first paint of the shown window
            std::printf("shown\n");
            std::fflush(stdout);
        });
    }
    return QApplication::exec();
}
