#include "platform/consoledialogs.h"

namespace krtp {

namespace {

Dialogs* g_dialogs = nullptr;
DesktopServices* g_desktop = nullptr;

// Messages carry names from the host: a control character among them (ESC, a lone CR) must not
// steer the terminal, so each is written as an escape. Line breaks stay.
QString terminalText(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QString out;
    out.reserve(t.size());
    for (const QChar c : t) {
        const ushort u = c.unicode();
        if ((u < 0x20 && u != '\n' && u != '\t') || u == 0x7f || (u >= 0x80 && u < 0xa0))
            out += QStringLiteral("\\x") + QString::number(u, 16).rightJustified(2, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

void say(FILE* out, const QString& text) {
    std::fprintf(out, "%s\n", terminalText(text).toLocal8Bit().constData());
    std::fflush(out);
}

} // namespace

Dialogs& dialogs() {
    if (!g_dialogs) {
        static ConsoleDialogs fallback;
        g_dialogs = &fallback;
    }
    return *g_dialogs;
}

void setDialogs(Dialogs* d) {
    g_dialogs = d;
}

DesktopServices& desktopServices() {
    if (!g_desktop) {
        static ConsoleDesktopServices fallback;
        g_desktop = &fallback;
    }
    return *g_desktop;
}

void setDesktopServices(DesktopServices* d) {
    g_desktop = d;
}

Dialogs::Button ConsoleDialogs::message(const QString& text, Icon, Buttons buttons, Button, const QString&) {
    say(m_out, text);
    if (m_answerYes) {
        for (Button b : {Yes, Ok, Retry, Ignore})
            if (buttons & b)
                return b;
    }
    for (Button b : {No, Cancel, Abort, Ok})
        if (buttons & b) {
            // A question with a choice answered the safe way: the front end's exit code says so.
            if (b != Ok)
                ++m_declined;
            return b;
        }
    return Ok;
}

std::optional<QString> ConsoleDialogs::input(const QString&, const QString& prompt, const QString&) {
    say(m_out, prompt);
    ++m_declined;
    return std::nullopt;
}

std::optional<QStringList> ConsoleDialogs::openFiles(const QString& title, const QString&, bool,
                                                     const QString&) {
    say(m_out, title);
    return std::nullopt;
}

std::optional<QString> ConsoleDialogs::chooseFolder(const QString& title, const QString&) {
    say(m_out, title);
    return std::nullopt;
}

bool ConsoleDesktopServices::openDocument(const QString& path) {
    say(stderr, QStringLiteral("open: ") + path);
    return true;
}

bool ConsoleDesktopServices::startProgram(const QString& program, const QStringList& arguments) {
    say(stderr, QStringLiteral("start: ") + program + QLatin1Char(' ') + arguments.join(QLatin1Char(' ')));
    return true;
}

bool ConsoleDesktopServices::openFileManager(const QString& folder) {
    say(stderr, QStringLiteral("file manager: ") + folder);
    return true;
}

bool ConsoleDesktopServices::openUrl(const QString& url) {
    say(stderr, QStringLiteral("browse: ") + url);
    return true;
}

void ConsoleDialogs::status(const QString& text) {
    if (text.isEmpty())
        return;
    std::fprintf(m_out, "%s\n", terminalText(text).toLocal8Bit().constData());
    std::fflush(m_out);
}

} // namespace krtp
