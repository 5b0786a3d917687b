// ambrel-q7-cli: the workbench on the command line, over the same link core as the window.

#include "clicommands.h"
#include "clisession.h"

#include <QCoreApplication>

using namespace ambrel::cli;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ambrel-q7-cli"));
    QStringList args = QCoreApplication::arguments().mid(1);

    TSessionOptions options;
    QStringList rest;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            TCliSession::Out() << CliUsage();
            return exitOk;
        }
        if (a == QLatin1String("--port")) {
            if (i + 1 >= args.size()) {
                TCliSession::Err() << "error: --port needs a device name" << Qt::endl;
                return exitUsage;
            }
            options.Port = args[++i];
        } else if (a.startsWith(QLatin1String("--port="))) {
            options.Port = a.mid(7);
        } else if (a == QLatin1String("--sim")) {
            options.Simulated = true;
        } else if (a == QLatin1String("--verbose") || a == QLatin1String("-v")) {
            options.Verbose = true;
        } else if (a.startsWith(QLatin1String("--")) && rest.isEmpty()) {
            TCliSession::Err() << "error: unknown option " << a << Qt::endl << CliUsage();
            return exitUsage;
        } else {
            rest << a;
        }
    }
    if (rest.isEmpty()) {
        TCliSession::Err() << CliUsage();
        return exitUsage;
    }
    const TCliCommand* command = FindCliCommand(rest.first());
    const QStringList commandArgs = rest.mid(1);
    if (!command) {
        TCliSession::Err() << "error: unknown command " << rest.first() << Qt::endl << CliUsage();
        return exitUsage;
    }
    if (commandArgs.size() < command->MinArgs || commandArgs.size() > command->MaxArgs) {
        TCliSession::Err() << "error: usage: " << command->Name << ' ' << command->Arguments << Qt::endl;
        return exitUsage;
    }
    // Wrong arguments are told at once, before a port is opened or an ECU waited for.
    if (command->Check) {
        if (const QString error = command->Check(commandArgs); !error.isEmpty()) {
            TCliSession::Err() << "error: " << error << Qt::endl;
            return exitUsage;
        }
    }
    if (!command->NeedsEcu)
        return command->Run(nullptr, commandArgs);
    if (options.Simulated == !options.Port.isEmpty()) {
        TCliSession::Err() << "error: give either --port NAME or --sim" << Qt::endl;
        return exitUsage;
    }
    TCliSession session(options);
    const int connected = session.Connect();
    if (connected != exitOk)
        return connected;
    return command->Run(&session, commandArgs);
}
