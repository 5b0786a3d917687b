#pragma once
// The subcommands of ambrel-q7-cli as a table: each names its arguments, says whether it
// needs the ECU, checks its arguments before anything is opened, and runs with the session
// and its own arguments. A new subcommand is one function and one row.

#include <QList>
#include <QStringList>

namespace ambrel::cli {

class TCliSession;

struct TCliCommand {
    const char* Name;
    const char* Arguments;
    const char* Help;
    bool NeedsEcu;
    int MinArgs;
    int MaxArgs;
    int (*Run)(TCliSession* session, const QStringList& args);
    // Checks the arguments before the port is opened: the usage error to print (exit
    // status 2), empty when they are fine. No check: the argument count is all there is.
    QString (*Check)(const QStringList& args) = nullptr;
};

// All subcommands: the tables of the layers joined.
const QList<TCliCommand>& CliCommands();
// The subcommands that speak the command set directly (ident, raw).
const QList<TCliCommand>& LinkCliCommands();
// The service subcommands (dtc, counters, vin, freeze-frame, com-errors, eobd, memory, pinout).
const QList<TCliCommand>& ServiceCliCommands();
// The configuration subcommands (read-config, write-config, show-config).
const QList<TCliCommand>& ConfigCliCommands();
// The live-measurement subcommands (status, record, trace-info).
const QList<TCliCommand>& MeasureCliCommands();
const TCliCommand* FindCliCommand(const QString& name);
QString CliUsage();

} // namespace ambrel::cli
