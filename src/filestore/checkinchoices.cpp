#include "filestore/checkinchoices.h"

#include "util/textutil.h"

namespace krtp {

QString CheckInChoices::CleanComment(const QString& text) {
    QString t = text;
    ReplaceTextMatchCase(t, {QStringLiteral("\""), QStringLiteral("'")});
    return t;
}

void CheckInChoices::setKeep(bool keep) {
    m_keep = keep;
    if (keep && m_revert)
        setRevert(false);
}

void CheckInChoices::setRevert(bool revert) {
    if (revert == m_revert)
        return;
    m_revert = revert;
    if (revert) {
        m_keep = false;
        m_savedComment = m_comment;
        m_comment.clear();
    } else {
        m_comment = m_savedComment;
        m_savedComment.clear();
    }
}

void CheckInChoices::setComment(const QString& text) {
    if (m_revert)
        return;
    m_comment = CleanComment(text);
}

} // namespace krtp
