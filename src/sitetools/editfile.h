#pragma once

#include "sitetools/sitetext.h"

#include <QString>
#include <functional>

class QObject;

namespace krtp {

class TransferControl;

// One internal-editor session on a site file: the download with its size check and line-end
// normalisation, the text being edited, the local mirror copy, the send and the closing rules.
// frmEdit shows it; krtp-cli edit runs it without a window.
class EditSession {
public:
    // Files of this many characters or more are not opened.
    static constexpr int kMaxCharacters = 30000;

    explicit EditSession(TransferControl& inet);

    TransferControl& inet() { return m_inet; }

    enum class Load { Opened, TooLarge, Failed };
    // Downloads the file (this refreshes its mirror copy) and takes its text with CR LF line ends.
    // TooLarge has shown its message; Failed has been reported by the download or the path check.
    Load load(const QString& pstrRelativePathName);

    // The path as the caller gave it ("/" or "\" separators).
    const QString& path() const { return m_path; }
    // The host path with "/" separators and the mirror copy, absolute.
    QString hostPath() const;
    QString localFile() const;

    // The text with CR LF line ends.
    const QString& text() const { return m_text; }
    void setText(const QString& text) { m_text = text; }
    // The text as a text box shows it (LF line ends), and back: an unchanged text box gives the
    // text exactly as it was, line ends and all.
    QString editorText() const;
    void setEditorText(const QString& editorText);

    // Writes the text, in the encoding the file came in and without an added line end, to the
    // mirror copy. False with *error set when it cannot be written.
    bool writeLocal(QString* error = nullptr) const;
    // Writes the mirror copy and sends it to the host. The upload routine has reported a failed
    // upload; a local write failure comes back in *error.
    enum class Send { Sent, WriteFailed, UploadFailed };
    Send send(QString* error = nullptr);
    // Whether a send of this session reached the host.
    bool sentOnce() const { return m_sentOnce; }

    // The closing rules. The two flags are set by "Send to Server" and "Discard Changes" and
    // cleared whenever a close is refused, so that the next close asks again.
    bool sendOnClose = false;
    bool discardOnClose = false;
    // Decides a close: asks "Send changes to server?" unless a button decided, sends when asked to.
    // True when the window may close.
    bool QueryClose();
    // The two halves of QueryClose, for a window that must not wait for the host inside its close:
    // the decision (asking when no button decided), then the send for a close that sends.
    enum class Closing { Stay, Close, Send };
    Closing DecideClose();
    bool SendForClose();

    static QString TooLargeMessage();
    static QString SendQuestion();
    static QString NotSavedMessage(const QString& description);

private:
    bool stayOpen();
    bool m_sentOnce = false;
    TransferControl& m_inet;
    QString m_path;
    QString m_text;
    QByteArray m_hostBytes; // as downloaded: the host copy the member's changes are based on
    SiteText m_encoding;
};

// Sends the mirror copy of a site file. The control folder's files (an access list, the news list)
// are changed under the shared lock and read back; with base (the host copy the member's copy was
// made from), a host copy changed since by someone else is not replaced. The failure was shown;
// *why repeats it for a control folder file.
bool SendSiteFile(TransferControl& inet, const QString& hostPath, const QByteArray* base = nullptr,
                  QString* why = nullptr);
QString ChangedMeanwhileMessage(const QString& hostPath);

// How EditFile shows its window; the window library installs frmEdit (InstallEditWindow in
// sitetools/gui/frmedit.h), tests install their own.
struct EditWindowHooks {
    // Shows the editor on the session, modal, owned by frmParent when given; returns when it closes.
    std::function<void(EditSession& session, QObject* frmParent)> showModal;
    // Disables or enables the calling window while the editor works, and brings it to the front
    // when enabled again.
    std::function<void(QObject* frmParent, bool enabled)> setParentEnabled;
};
void SetEditWindowHooks(const EditWindowHooks& hooks);
const EditWindowHooks& editWindowHooks();

// Opens the internal editor on a site file below the site root, for example "pages/news.html" or
// "krg\bob.dat", modal, and returns when it closes. The editor downloads the file, sends it when the
// member chooses "Send to Server" and uses its own transfer control. False when the file could not
// be opened (download failed, too large) or no editor window is installed. *sent tells whether the
// text went to the host.
bool EditFile(const QString& pstrRelativePathName, QObject* frmParent = nullptr, bool* sent = nullptr);

// krtp-cli edit: the editor's download, size check and normalisation, then text (normalised the same
// way) replaces the file's text and is sent. False when any step failed; messages went to the dialogs.
bool EditFileWithText(TransferControl& inet, const QString& pstrRelativePathName, const QString& text);

} // namespace krtp
