#include "transfer/ftpcommand.h"

#include <QHash>

namespace krtp {

namespace {

struct VerbInfo {
    const char* verb;
    const char* canonical;
    int minArgs;
    int maxArgs;
};

constexpr VerbInfo kVerbs[] = {
    {"CD", "CD", 1, 1},         {"CDUP", "CDUP", 0, 0},     {"PWD", "PWD", 0, 0},
    {"LS", "LS", 0, 1},         {"DIR", "DIR", 0, 1},       {"GET", "GET", 1, 2},
    {"RECV", "GET", 1, 2},      {"PUT", "PUT", 1, 2},       {"SEND", "PUT", 1, 2},
    {"DELETE", "DELETE", 1, 1}, {"RENAME", "RENAME", 2, 2}, {"MKDIR", "MKDIR", 1, 1},
    {"RMDIR", "RMDIR", 1, 1},   {"SIZE", "SIZE", 1, 1},     {"QUIT", "QUIT", 0, 0},
    {"CLOSE", "QUIT", 0, 0},    {"RM", "DELETE", 1, 1},     {"BYE", "QUIT", 0, 0},
};

QStringList splitArguments(const QString& text, QString* error) {
    QStringList out;
    QString current;
    bool inQuotes = false, haveToken = false;
    for (QChar c : text) {
        if (c == QLatin1Char('"')) {
            inQuotes = !inQuotes;
            haveToken = true;
        } else if (c == QLatin1Char(' ') && !inQuotes) {
            if (haveToken)
                out << current;
            current.clear();
            haveToken = false;
        } else {
            current += c;
            haveToken = true;
        }
    }
    if (inQuotes && error)
        *error = QStringLiteral("Unmatched double quote in command.");
    if (haveToken)
        out << current;
    return out;
}

} // namespace

bool HasControlCharacter(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    return false;
}

QString VisibleControlCharacters(const QString& text) {
    QString out;
    for (const QChar c : text) {
        if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString MaskedCommandText(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("PASS"), Qt::CaseInsensitive) == 0 ||
        t.left(5).compare(QLatin1String("PASS "), Qt::CaseInsensitive) == 0)
        return QStringLiteral("PASS ****");
    return text;
}

FtpCommand FtpCommand::parse(const QString& text) {
    FtpCommand cmd;
    // Checked before anything else: a line break inside an argument would reach the host as a
    // command of its own.
    if (HasControlCharacter(text)) {
        cmd.error = QStringLiteral("The command contains a control character (such as a line break) and was "
                                   "not sent: ") +
                    VisibleControlCharacters(MaskedCommandText(text));
        return cmd;
    }
    const QString line = text.trimmed();
    const qsizetype blank = line.indexOf(QLatin1Char(' '));
    const QString verb = (blank < 0 ? line : line.left(blank)).toUpper();
    const QString rest = blank < 0 ? QString() : line.mid(blank + 1).trimmed();
    const VerbInfo* info = nullptr;
    for (const VerbInfo& v : kVerbs)
        if (verb == QLatin1String(v.verb))
            info = &v;
    if (!info) {
        cmd.error = QStringLiteral("Unknown command: ") + (verb.isEmpty() ? QStringLiteral("(empty)") : verb);
        return cmd;
    }
    cmd.verb = QLatin1String(info->canonical);
    if (info->maxArgs == 1 && !rest.isEmpty() && !rest.startsWith(QLatin1Char('"')))
        cmd.args << rest;
    else
        cmd.args = splitArguments(rest, &cmd.error);
    if (cmd.error.isEmpty() && (cmd.args.size() < info->minArgs || cmd.args.size() > info->maxArgs))
        cmd.error = QStringLiteral("Wrong number of arguments for ") + cmd.verb + QLatin1Char('.');
    for (const QString& a : cmd.args)
        if (a.isEmpty() && cmd.error.isEmpty())
            cmd.error = QStringLiteral("Empty argument for ") + cmd.verb + QLatin1Char('.');
    return cmd;
}

QString ConsoleEchoText(const QString& command, bool sftp) {
    QString echo = QStringLiteral("> ") + VisibleControlCharacters(MaskedCommandText(command));
    const FtpCommand c = FtpCommand::parse(command);
    if (!sftp || !c.error.isEmpty())
        return echo;
    // OpenSSH's sftp words for each verb; its arguments quote as ours do.
    static const QHash<QString, QString> words = {
        {QStringLiteral("CD"), QStringLiteral("cd")},
        {QStringLiteral("CDUP"), QStringLiteral("cd ..")},
        {QStringLiteral("PWD"), QStringLiteral("pwd")},
        {QStringLiteral("LS"), QStringLiteral("ls")},
        {QStringLiteral("DIR"), QStringLiteral("ls -l")},
        {QStringLiteral("GET"), QStringLiteral("get")},
        {QStringLiteral("PUT"), QStringLiteral("put")},
        {QStringLiteral("DELETE"), QStringLiteral("rm")},
        {QStringLiteral("RENAME"), QStringLiteral("rename")},
        {QStringLiteral("MKDIR"), QStringLiteral("mkdir")},
        {QStringLiteral("RMDIR"), QStringLiteral("rmdir")},
        {QStringLiteral("SIZE"), QStringLiteral("ls -l")},
        {QStringLiteral("QUIT"), QStringLiteral("bye")},
    };
    QString equivalent = words.value(c.verb);
    for (const QString& a : c.args)
        equivalent += QLatin1Char(' ') + QuoteCommandArgument(a);
    const QString typed = command.simplified();
    if (equivalent.isEmpty() || typed.compare(equivalent, Qt::CaseInsensitive) == 0)
        return echo;
    return echo + QStringLiteral(" (sftp: ") + equivalent + QLatin1Char(')');
}

QString QuoteCommandArgument(const QString& argument) {
    if (argument.contains(QLatin1Char(' ')) || argument.isEmpty())
        return QLatin1Char('"') + argument + QLatin1Char('"');
    return argument;
}

QString ResolveRemotePath(const QString& currentFolder, const QString& name) {
    QString n = name;
    n.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString joined = n.startsWith(QLatin1Char('/')) ? n : currentFolder + QLatin1Char('/') + n;
    QStringList parts;
    for (const QString& seg : joined.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (seg == QLatin1String("."))
            continue;
        if (seg == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts << seg;
    }
    return QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

} // namespace krtp
