#include "filestore/operationreport.h"

namespace krtp {

namespace {

QString countOf(const QStringList& names) {
    if (names.size() == 1)
        return names.first();
    if (names.isEmpty())
        return QStringLiteral("no files");
    return QString::number(names.size()) + QStringLiteral(" files");
}

QString plural(int n, const char* one, const char* many) {
    return QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
}

} // namespace

QString OperationReport::operationName(Kind kind) {
    switch (kind) {
    case Kind::Refresh:
        return QStringLiteral("Refresh");
    case Kind::CheckOut:
        return QStringLiteral("Check out");
    case Kind::CheckIn:
        return QStringLiteral("Check in");
    case Kind::GetLatest:
        return QStringLiteral("Get latest version");
    case Kind::Open:
        return QStringLiteral("Open");
    case Kind::Add:
        return QStringLiteral("Adding files");
    case Kind::Describe:
        return QStringLiteral("Change of description");
    case Kind::Remove:
        return QStringLiteral("Removing the file");
    case Kind::Relinquish:
        return QStringLiteral("Relinquishing ownership");
    case Kind::ReadOnly:
        return QStringLiteral("Read-only switch");
    case Kind::EditDetails:
        return QStringLiteral("Editing file details");
    case Kind::None:
        break;
    }
    return QString();
}

QString OperationReport::firstLine(const QString& text) {
    QString line = text.section(QLatin1Char('\n'), 0, 0);
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return line.trimmed();
}

bool OperationReport::everyFileDone() const {
    if (!refusal.isEmpty() || !failure.isEmpty() || cancelled)
        return false;
    for (const Skip& s : skipped)
        if (!s.intended)
            return false;
    return true;
}

QString OperationReport::summary() const {
    const QString name = operationName(kind);
    if (!refusal.isEmpty())
        return name + QStringLiteral(" refused: ") + firstLine(refusal);
    if (kind == Kind::Refresh) {
        if (!failure.isEmpty())
            return QStringLiteral("The file list could not be read: ") + firstLine(failure);
        return QStringLiteral("File list: ") + plural(files, "file", "files") + QStringLiteral(", ") +
               QString::number(outdated) + QStringLiteral(" out of date, ") + QString::number(checkedOut) +
               QStringLiteral(" checked out by you");
    }
    QString text;
    const QString subject = countOf(done);
    switch (kind) {
    case Kind::CheckOut:
        text = QStringLiteral("Checked out ") + subject;
        break;
    case Kind::CheckIn:
        text = QStringLiteral("Checked in ") + subject;
        break;
    case Kind::GetLatest:
        text = QStringLiteral("Got the latest version of ") + subject;
        break;
    case Kind::Open:
        text = QStringLiteral("Opened ") + subject;
        break;
    case Kind::Add:
        text = QStringLiteral("Added ") + subject;
        break;
    case Kind::Describe:
        text = done.isEmpty() ? QStringLiteral("Description not changed")
                              : QStringLiteral("Changed the description of ") + subject;
        break;
    case Kind::Remove:
        text = done.isEmpty() ? QStringLiteral("Nothing removed")
                              : QStringLiteral("Removed ") + subject + QStringLiteral(" from KRtp");
        break;
    case Kind::Relinquish:
        text = done.isEmpty() ? QStringLiteral("Ownership kept")
                              : QStringLiteral("Gave up the ownership of ") + subject;
        break;
    case Kind::ReadOnly:
        text = QStringLiteral("Switched the read-only attribute of ") + subject;
        break;
    case Kind::EditDetails:
        text = QStringLiteral("Saved the file details of ") + subject;
        break;
    case Kind::Refresh:
    case Kind::None:
        break;
    }
    if (cancelled)
        text = name + QStringLiteral(" cancelled") +
               (done.isEmpty() ? QString() : QStringLiteral("; ") + text.left(1).toLower() + text.mid(1));
    else if (done.isEmpty() && skipped.isEmpty() && failure.isEmpty() && kind != Kind::Describe &&
             kind != Kind::Remove && kind != Kind::Relinquish)
        return name + QStringLiteral(": no file selected");
    QStringList skips;
    for (const Skip& s : skipped)
        skips << s.name + QStringLiteral(", ") + s.reason;
    if (!skips.isEmpty())
        text += QStringLiteral("; skipped ") + skips.join(QStringLiteral("; "));
    if (!failure.isEmpty())
        text += QStringLiteral("; stopped: ") + firstLine(failure);
    return text;
}

} // namespace krtp
