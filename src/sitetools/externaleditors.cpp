#include "sitetools/externaleditors.h"

#include "sitetools/sitetext.h"
#include "util/fileutil.h"

#include <QFileInfo>
#include <QStringList>

namespace krtp {

namespace {

// Lines as a line-by-line reader sees them: CR LF (or a lone LF) ends a line; a final line end does
// not start another line.
QStringList lines(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList out = t.split(QLatin1Char('\n'));
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    return out;
}

} // namespace

QString ExternalEditor::program() const {
    QString p = command;
    p.remove(QLatin1Char('"'));
    return p;
}

QString ExternalEditor::caption() const {
    return found ? name : name + QStringLiteral(" - FILE NOT FOUND");
}

QList<ExternalEditor> ParseExternalEditors(const QByteArray& content) {
    QList<ExternalEditor> editors;
    const QStringList all = lines(SiteText::decode(content).text);
    for (qsizetype i = 0; i + 1 < all.size(); i += 2) {
        ExternalEditor e;
        e.name = all[i];
        e.command = all[i + 1];
        if (e.name.isEmpty() || e.command.isEmpty())
            continue;
        const QFileInfo program(e.program());
        e.found = !e.program().trimmed().isEmpty() && program.isFile();
        editors << e;
    }
    return editors;
}

QList<ExternalEditor> ReadExternalEditors(const QString& path) {
    QByteArray content;
    if (path.isEmpty() || !ReadWholeFile(path, content))
        return {};
    return ParseExternalEditors(content);
}

ExternalEditorsText::ExternalEditorsText(const QString& path) : m_path(path) {
    if (!path.isEmpty())
        ReadWholeFile(path, m_original);
}

QString ExternalEditorsText::editorText() const {
    return ToEditorText(SiteText::decode(m_original).text);
}

bool ExternalEditorsText::save(const QString& editorText, QString* error) const {
    const SiteText original = SiteText::decode(m_original);
    if (editorText == ToEditorText(original.text))
        return WriteWholeFile(m_path, m_original, error);
    return WriteWholeFile(m_path, original.encode(FromEditorText(editorText)), error);
}

} // namespace krtp
