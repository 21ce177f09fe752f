#include "transfer/transferprogress.h"

#include "transfer/ftpcommand.h"
#include "transfer/transfercontrol.h"

namespace krtp {

namespace {

QString lastSegment(const QString& path) {
    QString p = path;
    while (p.endsWith(QLatin1Char('/')))
        p.chop(1);
    return p.section(QLatin1Char('/'), -1);
}

} // namespace

TransferProgress::TransferProgress(TransferControl& control, QObject* parent)
    : QObject(parent), m_control(control) {
    connect(&control, &TransferControl::progress, this, &TransferProgress::onProgress);
    connect(&control, &TransferControl::StateChanged, this, &TransferProgress::onState);
}

QString TransferProgress::Size(qint64 bytes) {
    if (bytes < 1024)
        return QString::number(bytes) + (bytes == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
    if (bytes < 1024 * 1024)
        return QString::number(double(bytes) / 1024.0, 'f', 1) + QStringLiteral(" KB");
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
}

QString TransferProgress::Describe(const QString& command, qint64 done, qint64 total, double bytesPerSecond) {
    const FtpCommand c = FtpCommand::parse(command);
    QString what;
    if (c.verb == QLatin1String("GET") || c.verb == QLatin1String("RECV"))
        what = QStringLiteral("Receiving ") + lastSegment(c.args.value(0));
    else if (c.verb == QLatin1String("PUT") || c.verb == QLatin1String("SEND"))
        what = QStringLiteral("Sending ") + lastSegment(c.args.value(c.args.size() > 1 ? 1 : 0));
    else if (c.verb == QLatin1String("LS") || c.verb == QLatin1String("DIR"))
        what = QStringLiteral("Reading the folder listing");
    else
        what = QStringLiteral("Transferring");
    QString text = what + QStringLiteral(": ") + Size(done);
    if (total > 0)
        text += QStringLiteral(" of ") + Size(total);
    if (bytesPerSecond > 0)
        text += QStringLiteral(", ") + Size(qint64(bytesPerSecond)) + QStringLiteral("/s");
    return text;
}

void TransferProgress::onProgress(qint64 done, qint64 total) {
    const QString command = m_control.currentCommand();
    // A new command, or the same one sent again, starts its own count and clock.
    if (command != m_command || done < m_lastDone || !m_started.isValid()) {
        m_command = command;
        m_started.start();
    }
    m_lastDone = done;
    const double seconds = double(m_started.nsecsElapsed()) / 1e9;
    const double rate = seconds >= 0.05 ? double(done) / seconds : 0.0;
    m_text = Describe(command, done, total, rate);
    emit changed(m_text);
}

void TransferProgress::onState(int state) {
    if (state != StateResponseCompleted && state != StateError)
        return;
    m_command.clear();
    m_lastDone = 0;
    m_started.invalidate();
    if (m_text.isEmpty())
        return;
    m_text.clear();
    emit changed(m_text);
}

} // namespace krtp
