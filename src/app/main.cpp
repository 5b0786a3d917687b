// ambrel-q7: the workbench window.
//   --port NAME   open this device instead of the stored port
//   --demo        start the simulated ECU in-process on a pseudo-terminal and use it

#include "workbench.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Norvane"));
    QApplication::setApplicationName(QStringLiteral("Ambrel Q7"));
    QApplication::setApplicationDisplayName(QCoreApplication::translate("TFormMain", "Ambrel Q7 Diagnostic"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Workbench for the gas-injection ECU"));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Open this serial device."),
                                        QStringLiteral("NAME"));
    const QCommandLineOption demoOption(QStringLiteral("demo"), QStringLiteral("Run against the simulated ECU."));
    parser.addOption(portOption);
    parser.addOption(demoOption);
    parser.process(app);

    ambrel::app::TWorkbenchOptions options;
    options.Port = parser.value(portOption);
    options.Demo = parser.isSet(demoOption);
    ambrel::app::TWorkbench workbench(options);
    QString error;
    if (!workbench.Start(&error)) {
        std::fprintf(stderr, "ambrel-q7: cannot start the simulated ECU: %s\n", qPrintable(error));
        return 1;
    }
    workbench.Main().showMaximized();
    return QApplication::exec();
}
