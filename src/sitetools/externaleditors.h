#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace krtp {

// One configured external editor: the display name and the command, the path of the program,
// which may be written in double quotes.
struct ExternalEditor {
    QString name;
    QString command;
    bool found = false; // the program exists

    // The command without its double quotes: the program to start.
    QString program() const;
    // The menu caption: the name, or the name + " - FILE NOT FOUND" for a missing program.
    QString caption() const;
};

// The external editors file ("external editors.ini"): lines read in pairs, name then command. A pair
// with an empty line is skipped; a last name line without a command is ignored.
QList<ExternalEditor> ParseExternalEditors(const QByteArray& content);
// The editors of the file at path (a missing file has none).
QList<ExternalEditor> ReadExternalEditors(const QString& path);

// The configuration window's text: the whole file with LF line ends (a missing file reads as
// empty), and back. Saving writes the text exactly, with the file's CR LF line ends and no added
// line end; an untouched text is written back byte for byte.
class ExternalEditorsText {
public:
    explicit ExternalEditorsText(const QString& path);
    QString editorText() const;
    bool save(const QString& editorText, QString* error = nullptr) const;
    static QString SaveQuestion() { return QStringLiteral("Save Changes?"); }

private:
    QString m_path;
    QByteArray m_original;
};

} // namespace krtp
