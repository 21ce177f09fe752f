#pragma once

#include <QString>

namespace krtp {

// What the check-in asks for each file it sends or gives back. The window answers with the
// check-in dialog, the command line and tests with their own answers.
class CheckInPrompt {
public:
    virtual ~CheckInPrompt() = default;
    // False when the member cancelled: the whole check-in is then abandoned.
    virtual bool Do_CheckInFile(const QString& pstrFileName, QString& pstrComment, bool& pblnKeepCheckedOut,
                                bool& pblnCheckInAll, bool& pblnDontUpdateServer) = 0;
};

// The rules of the check-in dialog apart from its widgets: the keep and revert boxes exclude each
// other, ticking revert puts the comment aside (it comes back when revert is unticked), and a typed
// double quote becomes an apostrophe. The state outlives one check-in: the dialog shows the last
// answers again.
class CheckInChoices {
public:
    bool keep() const { return m_keep; }
    bool revert() const { return m_revert; }
    QString comment() const { return m_comment; }

    bool keepEnabled() const { return !m_revert; }
    bool revertEnabled() const { return !m_keep; }
    bool commentEnabled() const { return !m_revert; }

    void setKeep(bool keep);
    void setRevert(bool revert);
    // Takes the typed text through the quote rule. The rule swaps one character for one, so the
    // caret and selection stay where they are.
    void setComment(const QString& text);

    // Text typed by a member that goes into the catalogue.
    static QString CleanComment(const QString& text);

private:
    bool m_keep = false;
    bool m_revert = false;
    QString m_comment;
    QString m_savedComment; // the comment while revert is ticked
};

} // namespace krtp
