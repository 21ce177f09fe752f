#pragma once

#include <QStringList>

namespace krtp::cli {

// A subcommand of krtp-cli. Each lives in its own source file and registers itself with a static
// CliRegistration, so adding one never touches the others.
struct CliCommand {
    const char* name;
    const char* usage;
    int (*run)(const QStringList& args); // args after the subcommand name; returns the exit code
};

struct CliRegistration {
    explicit CliRegistration(const CliCommand& command);
};

const QList<CliCommand>& cliCommands();

// Removes "--name VALUE" from args; returns VALUE or fallback.
QString takeOption(QStringList& args, const QString& name, const QString& fallback = {});
// Removes "--name" from args; returns whether it was there.
bool takeFlag(QStringList& args, const QString& name);

// The member's password, kept out of the process list: KRTP_PASSWORD, else the first line of
// "--password-file FILE", else "--password PW" (still accepted, with a warning on stderr), else the
// login saved in the settings when it is this member's. Removes the options from args. False, with
// *error set, when a named password file cannot be read.
bool takePassword(QStringList& args, const QString& user, QString& password, QString* error);
inline constexpr char kPasswordOptionsUsage[] = "[--password-file FILE] (or KRTP_PASSWORD)";

} // namespace krtp::cli
