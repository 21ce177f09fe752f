#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace krtp {

// What one store operation did, as the operation itself tells it: the files it acted on, the files
// it passed over and why, and why it did not run or stopped. summary() is the one line a window's
// status bar (or a shell) shows afterwards, e.g. "Checked out 3 files; skipped team roster.txt,
// checked out by Lina".
struct OperationReport {
    enum class Kind {
        None,
        Refresh,
        CheckOut,
        CheckIn,
        GetLatest,
        Open,
        Add,
        Describe,
        Remove,
        Relinquish,
        ReadOnly,
        EditDetails
    };
    struct Skip {
        QString name;
        QString reason;
        bool intended = false; // the operation leaves this file alone on purpose (the member's own copy)
    };

    Kind kind = Kind::None;
    bool ok = true;
    QStringList done;    // names, in the order they were done
    QList<Skip> skipped; // names passed over, with the reason in a few words
    QString refusal;     // why the operation did not run at all (the member's level)
    QString failure;     // why it stopped (the text the member was shown)
    bool cancelled = false;
    // Counts of the list after a refresh.
    int files = 0;
    int outdated = 0;
    int checkedOut = 0;

    void skip(const QString& name, const QString& reason, bool intended = false) {
        skipped.append({name, reason, intended});
    }
    // Whether every file asked for was done (or left alone on purpose).
    bool everyFileDone() const;
    QString summary() const;

    // "Check out", "Check in"... for refusals and failures.
    static QString operationName(Kind kind);
    // The first line of a message text (its CR LF or LF line breaks cut off), for a status line.
    static QString firstLine(const QString& text);
};

} // namespace krtp
