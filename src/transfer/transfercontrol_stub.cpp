// Placeholder until the libcurl implementation lands; every command fails.
#include "transfer/transfercontrol.h"
#include "transfer/transferroutines.h"

namespace krtp {
class TransferControl::Private {};
QString StateText(int) { return {}; }
TransferControl::TransferControl(QObject* parent) : QObject(parent) {}
TransferControl::~TransferControl() = default;
void TransferControl::configureForSite() {}
bool TransferControl::Execute(const QString&) { return false; }
bool TransferControl::StillExecuting() const { return false; }
QString TransferControl::GetChunk(int) { return {}; }
QByteArray TransferControl::OpenURL(const QString&, QString* error) {
    if (error)
        *error = QStringLiteral("not available");
    return {};
}
bool TransferControl::waitUntilIdle(int) { return true; }
void TransferControl::Cancel() {}
bool TransferControl::lastSucceeded() const { return false; }
QString TransferControl::lastError() const { return QStringLiteral("not available"); }
int TransferControl::connectionsOpened() const { return 0; }
int TransferControl::commandsSent() const { return 0; }
MirrorPath MapMirrorPath(const QString&) { return {}; }
bool SendFileToServer(TransferControl&, const QString&) { return false; }
bool GetFileFromServer(TransferControl&, const QString&, QString&) { return false; }
bool DeleteFileFromServer(TransferControl&, const QString&) { return false; }
bool GetFile(TransferControl&, const QString&) { return false; }
} // namespace krtp
