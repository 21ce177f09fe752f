#include "scripteddialogs.h"

namespace krtp::test {

ScriptedDialogs::ScriptedDialogs() {
    m_previous = &dialogs();
    setDialogs(this);
}

ScriptedDialogs::~ScriptedDialogs() {
    setDialogs(m_previous);
}

QStringList ScriptedDialogs::texts() const {
    QStringList out;
    for (const Record& r : m_records)
        out << r.text;
    return out;
}

void ScriptedDialogs::clear() {
    m_records.clear();
    m_answers.clear();
    m_unexpected.clear();
}

std::optional<ScriptedDialogs::Answer> ScriptedDialogs::take(const Record& r) {
    m_records.append(r);
    if (m_hook)
        m_hook(r);
    if (m_answers.isEmpty())
        return std::nullopt;
    return m_answers.dequeue();
}

Dialogs::Button ScriptedDialogs::message(const QString& text, Icon icon, Buttons buttons,
                                         Button defaultButton, const QString& title) {
    Record r;
    r.text = text;
    r.icon = icon;
    r.buttons = buttons;
    r.defaultButton = defaultButton;
    r.title = title;
    if (buttons == Ok || buttons == NoButton) {
        m_records.append(r);
        if (m_hook)
            m_hook(r);
        return Ok;
    }
    const auto a = take(r);
    if (a && std::holds_alternative<Button>(*a))
        return std::get<Button>(*a);
    m_unexpected << text;
    return (buttons & Cancel) ? Cancel : (buttons & No) ? No : Ok;
}

std::optional<QString> ScriptedDialogs::input(const QString& title, const QString& prompt, const QString&) {
    Record r;
    r.kind = Record::Kind::Input;
    r.text = prompt;
    r.title = title;
    const auto a = take(r);
    if (a && std::holds_alternative<std::optional<QString>>(*a))
        return std::get<std::optional<QString>>(*a);
    m_unexpected << prompt;
    return std::nullopt;
}

std::optional<QStringList> ScriptedDialogs::openFiles(const QString& title, const QString& filter, bool,
                                                      const QString&) {
    Record r;
    r.kind = Record::Kind::OpenFiles;
    r.text = title;
    r.filter = filter;
    const auto a = take(r);
    if (a && std::holds_alternative<std::optional<QStringList>>(*a))
        return std::get<std::optional<QStringList>>(*a);
    m_unexpected << title;
    return std::nullopt;
}

std::optional<QString> ScriptedDialogs::chooseFolder(const QString& title, const QString&) {
    Record r;
    r.kind = Record::Kind::ChooseFolder;
    r.text = title;
    const auto a = take(r);
    if (a && std::holds_alternative<std::optional<QString>>(*a))
        return std::get<std::optional<QString>>(*a);
    m_unexpected << title;
    return std::nullopt;
}

std::optional<QString> ScriptedDialogs::saveFile(const QString& title, const QString&) {
    Record r;
    r.kind = Record::Kind::SaveFile;
    r.text = title;
    const auto a = take(r);
    if (a && std::holds_alternative<std::optional<QString>>(*a))
        return std::get<std::optional<QString>>(*a);
    m_unexpected << title;
    return std::nullopt;
}

RecordingDesktopServices::RecordingDesktopServices() {
    m_previous = &desktopServices();
    setDesktopServices(this);
}

RecordingDesktopServices::~RecordingDesktopServices() {
    setDesktopServices(m_previous);
}

bool RecordingDesktopServices::openDocument(const QString& path) {
    calls << QStringLiteral("open ") + path;
    return result;
}

bool RecordingDesktopServices::startProgram(const QString& program, const QStringList& arguments) {
    calls << QStringLiteral("start ") + program + QLatin1Char('|') + arguments.join(QLatin1Char('|'));
    return result;
}

bool RecordingDesktopServices::openFileManager(const QString& folder) {
    calls << QStringLiteral("files ") + folder;
    return result;
}

bool RecordingDesktopServices::openUrl(const QString& url) {
    calls << QStringLiteral("url ") + url;
    return result;
}

} // namespace krtp::test
