#include "sitetools/editfile.h"

#include "platform/dialogs.h"
#include "sitetools/sitenames.h"
#include "transfer/sharedfile.h"
#include "transfer/transfercontrol.h"
#include "transfer/transferroutines.h"
#include "util/fileutil.h"

#include <QDir>
#include <QFileInfo>

namespace krtp {

namespace {

EditWindowHooks& hooks() {
    static EditWindowHooks h;
    return h;
}

} // namespace

EditSession::EditSession(TransferControl& inet) : m_inet(inet) {}

QString EditSession::TooLargeMessage() {
    return QStringLiteral("This file is too large to edit with the KRtp internal editor.");
}

QString EditSession::SendQuestion() {
    return QStringLiteral("Send changes to server?");
}

QString EditSession::NotSavedMessage(const QString& description) {
    return description +
           QStringLiteral("\r\n\r\nChanges may not be saved.  Press Cancel to try to save your changes.");
}

QString EditSession::hostPath() const {
    QString p = m_path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

QString EditSession::localFile() const {
    return QDir::current().absoluteFilePath(LocalMirrorPath(hostPath()));
}

EditSession::Load EditSession::load(const QString& pstrRelativePathName) {
    m_path = pstrRelativePathName;
    sendOnClose = false;
    discardOnClose = false;
    m_text.clear();
    if (!IsSafeHostPath(m_path)) {
        dialogs().message(QStringLiteral("The path \"") + m_path +
                              QStringLiteral("\" does not name a file below the site folder."),
                          Dialogs::Icon::Critical, Dialogs::Ok);
        return Load::Failed;
    }
    QString mode = QLatin1String(kSaveToFile);
    if (!GetFileFromServer(m_inet, m_path, mode))
        return Load::Failed;
    QByteArray bytes;
    QString error;
    if (!ReadWholeFile(localFile(), bytes, &error)) {
        dialogs().message(error, Dialogs::Icon::Critical, Dialogs::Ok);
        return Load::Failed;
    }
    m_hostBytes = bytes;
    m_encoding = SiteText::decode(bytes);
    if (m_encoding.text.size() >= kMaxCharacters) {
        dialogs().message(TooLargeMessage(), Dialogs::Icon::None, Dialogs::Ok);
        return Load::TooLarge;
    }
    m_text = NormaliseLineEnds(m_encoding.text);
    return Load::Opened;
}

QString EditSession::editorText() const {
    return ToEditorText(m_text);
}

void EditSession::setEditorText(const QString& editorText) {
    // An untouched text box keeps the text as it came, including any line end the box cannot hold.
    if (editorText != ToEditorText(m_text))
        m_text = FromEditorText(editorText);
}

bool EditSession::writeLocal(QString* error) const {
    const QString file = localFile();
    QDir().mkpath(QFileInfo(file).absolutePath());
    return WriteWholeFile(file, m_encoding.encode(m_text), error);
}

EditSession::Send EditSession::send(QString* error) {
    const QString refused = ControlFileRefusal(hostPath());
    if (!refused.isEmpty()) {
        dialogs().message(refused, Dialogs::Icon::Critical, Dialogs::Ok);
        return Send::UploadFailed;
    }
    if (!writeLocal(error))
        return Send::WriteFailed;
    if (!SendSiteFile(m_inet, hostPath(), &m_hostBytes))
        return Send::UploadFailed;
    // A later send in this session builds on what this one saved.
    m_hostBytes = m_encoding.encode(m_text);
    m_sentOnce = true;
    return Send::Sent;
}

bool EditSession::stayOpen() {
    sendOnClose = false;
    discardOnClose = false;
    return false;
}

EditSession::Closing EditSession::DecideClose() {
    if (sendOnClose)
        return Closing::Send;
    if (!discardOnClose) {
        switch (dialogs().message(SendQuestion(), Dialogs::Icon::None,
                                  Dialogs::Yes | Dialogs::No | Dialogs::Cancel)) {
        case Dialogs::Yes:
            sendOnClose = true;
            return Closing::Send;
        case Dialogs::No:
            discardOnClose = true;
            return Closing::Close;
        default:
            stayOpen();
            return Closing::Stay;
        }
    }
    return Closing::Close;
}

bool EditSession::SendForClose() {
    QString error;
    switch (send(&error)) {
    case Send::Sent:
        return true;
    case Send::UploadFailed:
        return stayOpen();
    case Send::WriteFailed:
        break;
    }
    if (dialogs().message(NotSavedMessage(error), Dialogs::Icon::Warning, Dialogs::Ok | Dialogs::Cancel) ==
        Dialogs::Ok)
        return true;
    return stayOpen();
}

bool EditSession::QueryClose() {
    switch (DecideClose()) {
    case Closing::Stay:
        return false;
    case Closing::Close:
        return true;
    case Closing::Send:
        break;
    }
    return SendForClose();
}

QString ChangedMeanwhileMessage(const QString& hostPath) {
    return hostPath +
           QStringLiteral(" was changed on the server after you opened it, so your changes were not sent.");
}

bool SendSiteFile(TransferControl& inet, const QString& hostPath, const QByteArray* base, QString* why) {
    if (!IsControlFilePath(hostPath))
        return SendFileToServer(inet, hostPath);
    const QString local = LocalMirrorPath(hostPath);
    QByteArray mine;
    QString error;
    if (!ReadWholeFile(local, mine, &error)) {
        dialogs().message(error, Dialogs::Icon::Critical, Dialogs::Ok);
        if (why)
            *why = error;
        return false;
    }
    SharedFileEdit edit;
    edit.hostPath =
        QDir::cleanPath(QLatin1Char('/') + QString(hostPath).replace(QLatin1Char('\\'), QLatin1Char('/')));
    edit.localCopy = local;
    edit.subject = hostPath;
    edit.createMissing = true;
    edit.apply = [&](const QByteArray& current, bool exists, QString& refusal) -> std::optional<QByteArray> {
        const QByteArray now = exists ? current : QByteArray();
        // Whatever another administrator saved since this copy was fetched is not replaced unseen.
        if (base && now != *base && now != mine) {
            refusal = ChangedMeanwhileMessage(hostPath);
            return std::nullopt;
        }
        return mine;
    };
    const SharedFileResult result = ChangeSharedFile(inet, dialogs(), edit);
    if (!result.ok) {
        // The exchange leaves the host's copy in the local file; the member's own stays theirs.
        WriteWholeFile(local, mine);
        if (why)
            *why = result.error;
    }
    return result.ok;
}

void SetEditWindowHooks(const EditWindowHooks& h) {
    hooks() = h;
}

const EditWindowHooks& editWindowHooks() {
    return hooks();
}

bool EditFile(const QString& pstrRelativePathName, QObject* frmParent, bool* sent) {
    const EditWindowHooks h = hooks();
    if (frmParent && h.setParentEnabled)
        h.setParentEnabled(frmParent, false);
    bool shown = false;
    {
        TransferControl inet;
        EditSession session(inet);
        EditSession::Load loaded;
        {
            BusyPointer busy;
            loaded = session.load(pstrRelativePathName);
        }
        if (loaded == EditSession::Load::Opened && h.showModal) {
            h.showModal(session, frmParent);
            shown = true;
            if (sent)
                *sent = session.sentOnce();
        }
        inet.Execute(QStringLiteral("QUIT"));
        inet.waitUntilIdle();
    }
    if (frmParent && h.setParentEnabled)
        h.setParentEnabled(frmParent, true);
    return shown;
}

bool EditFileWithText(TransferControl& inet, const QString& pstrRelativePathName, const QString& text) {
    EditSession session(inet);
    if (session.load(pstrRelativePathName) != EditSession::Load::Opened)
        return false;
    session.setText(NormaliseLineEnds(text));
    QString error;
    switch (session.send(&error)) {
    case EditSession::Send::Sent:
        return true;
    case EditSession::Send::WriteFailed:
        dialogs().message(error, Dialogs::Icon::Critical, Dialogs::Ok);
        return false;
    case EditSession::Send::UploadFailed:
        return false;
    }
    return false;
}

} // namespace krtp
