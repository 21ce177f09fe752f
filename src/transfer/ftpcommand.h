#pragma once

#include <QString>
#include <QStringList>

namespace krtp {

// One console command split into its verb (upper case) and arguments. Blanks separate arguments;
// double quotes group an argument that holds blanks. Verbs that take a single argument take the
// whole rest of the line when it is not quoted, so "ls my file.txt" works as typed.
struct FtpCommand {
    QString verb;
    QStringList args;
    QString error; // set when the command cannot be understood

    static FtpCommand parse(const QString& text);
};

// True when the text holds a control character (CR, LF, tab, any other below a blank, or DEL): such a
// text must never reach the host, where a line break would start a second command.
bool HasControlCharacter(const QString& text);
// The text with each control character written as an escape (CR as \r, LF as \n, ESC as \x1b), for messages.
QString VisibleControlCharacters(const QString& text);

// A command text as it may be shown: a password command becomes "PASS ****".
QString MaskedCommandText(const QString& text);

// The console's echo of a typed command: "> " and the text as typed (a password masked, control
// characters as escapes). On an SFTP site a command that OpenSSH's sftp names otherwise is followed by
// that name: "> send a.txt (sftp: put a.txt)".
QString ConsoleEchoText(const QString& command, bool sftp);

// Wraps an argument in double quotes when it holds a blank, for building command texts.
QString QuoteCommandArgument(const QString& argument);

// Resolves a remote name against the session's current folder; result is absolute and normalised
// ("." and ".." segments folded, never above "/").
QString ResolveRemotePath(const QString& currentFolder, const QString& name);

} // namespace krtp
