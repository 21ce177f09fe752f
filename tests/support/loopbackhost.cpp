#include "loopbackhost.h"

#include "buildconfig.h"
#include "config/siteconfig.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace krtp::test {

bool copyTree(const QString& from, const QString& to) {
    QDir().mkpath(to);
    QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString rel = QDir(from).relativeFilePath(it.filePath());
        const QString target = to + QLatin1Char('/') + rel;
        if (it.fileInfo().isDir()) {
            if (!QDir().mkpath(target))
                return false;
        } else {
            QDir().mkpath(QFileInfo(target).absolutePath());
            QFile::remove(target);
            if (!QFile::copy(it.filePath(), target))
                return false;
            QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ReadGroup | QFileDevice::ReadOther);
        }
    }
    return true;
}

QStringList LoopbackHost::Faults::arguments() const {
    QStringList args;
    if (noEpsv)
        args << QStringLiteral("--no-epsv");
    if (cutAfter > 0)
        args << (cutSession ? QStringLiteral("--cut-session-after") : QStringLiteral("--cut-data-after"))
             << QString::number(cutAfter);
    if (latencyMs > 0)
        args << QStringLiteral("--latency") << QString::number(latencyMs);
    if (maxSessions > 0)
        args << QStringLiteral("--max-sessions") << QString::number(maxSessions);
    for (const auto& [path, count] : busy)
        args << QStringLiteral("--busy-retr") << QString::number(count) + QLatin1Char(':') + path;
    if (refuseRenameOver)
        args << QStringLiteral("--refuse-rename-over");
    if (!dropAfter.isEmpty())
        args << QStringLiteral("--drop-after") << dropAfter;
    if (!closeBefore.isEmpty())
        args << QStringLiteral("--close-before") << closeBefore;
    return args;
}

LoopbackHost::LoopbackHost() = default;

LoopbackHost::~LoopbackHost() {
    stop();
}

QString LoopbackHost::scriptPath() {
    return QStringLiteral(KRTP_SOURCE_DIR "/tools/loopback_host.py");
}

QString LoopbackHost::seedPath(const QString& name) {
    return QStringLiteral(KRTP_SOURCE_DIR "/tests/seeds/") + name;
}

bool LoopbackHost::start(const QString& seedFolder, QString* error) {
    stop();
    m_root = std::make_unique<QTemporaryDir>();
    if (!m_root->isValid()) {
        if (error)
            *error = QStringLiteral("cannot create the host root");
        return false;
    }
    if (!seedFolder.isEmpty() && !copyTree(seedFolder, m_root->path())) {
        if (error)
            *error = QStringLiteral("cannot copy the seed ") + seedFolder;
        return false;
    }
    m_scratch = std::make_unique<QTemporaryDir>(); // certificates and the command log, beside the root
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    // Not the test's working directory: tests delete their temporary folders while the host runs.
    m_process->setWorkingDirectory(m_root->path());
    QStringList args{
        scriptPath(), QStringLiteral("--root"),     m_root->path(), QStringLiteral("--user"),
        user(),       QStringLiteral("--password"), password(),     QStringLiteral("--stdin-watch")};
    for (const QString& folder : m_readOnly)
        args << QStringLiteral("--read-only") << folder;
    args << QStringLiteral("--faults") << m_control.filePath(QStringLiteral("faults.json"));
    if (m_noMlsx)
        args << QStringLiteral("--no-mlsx");
    if (m_idleTimeout > 0)
        args << QStringLiteral("--idle-timeout") << QString::number(m_idleTimeout);
    if (m_throttle > 0)
        args << QStringLiteral("--throttle") << QString::number(m_throttle);
    args << m_faults.arguments();
    if (m_faults.commandLog)
        args << QStringLiteral("--command-log") << m_scratch->filePath(QStringLiteral("commands.log"));
    if (m_tls != Tls::Off)
        args << QStringLiteral("--tls")
             << (m_tls == Tls::Require ? QStringLiteral("require") : QStringLiteral("offer"))
             << QStringLiteral("--tls-name") << m_tlsName << QStringLiteral("--tls-dir") << m_scratch->path();
    m_process->start(QStringLiteral("/usr/bin/python3"), args);
    if (!m_process->waitForStarted(10000)) {
        if (error)
            *error = QStringLiteral("cannot start /usr/bin/python3: ") + m_process->errorString();
        return false;
    }
    // The script prints its ports once both servers listen.
    QByteArray line;
    while (!line.contains('\n')) {
        if (!m_process->waitForReadyRead(15000)) {
            if (error)
                *error = QStringLiteral("loopback host did not start: ") +
                         QString::fromLocal8Bit(m_process->readAllStandardError());
            stop();
            return false;
        }
        line += m_process->readAllStandardOutput();
    }
    const QJsonObject ports = QJsonDocument::fromJson(line.trimmed()).object();
    m_ftpPort = ports.value(QStringLiteral("ftp")).toInt();
    m_httpPort = ports.value(QStringLiteral("http")).toInt();
    m_caFile = ports.value(QStringLiteral("ca")).toString();
    m_pinnedKey = ports.value(QStringLiteral("pin")).toString();
    if (m_ftpPort <= 0 || m_httpPort <= 0) {
        if (error)
            *error = QStringLiteral("loopback host printed no ports: ") + QString::fromUtf8(line);
        stop();
        return false;
    }
    exportEnvironment();
    return true;
}

void LoopbackHost::stop() {
    if (m_process) {
        if (m_process->state() != QProcess::NotRunning) {
            m_process->closeWriteChannel();
            m_process->terminate();
            if (!m_process->waitForFinished(5000)) {
                m_process->kill();
                m_process->waitForFinished(5000);
            }
        }
        m_process.reset();
    }
}

bool LoopbackHost::running() const {
    return m_process && m_process->state() == QProcess::Running;
}

QString LoopbackHost::ftpHost() const {
    return QStringLiteral("127.0.0.1:%1").arg(m_ftpPort);
}

QString LoopbackHost::baseUrl() const {
    return (m_tls == Tls::Off ? QStringLiteral("http") : QStringLiteral("https")) +
           QStringLiteral("://127.0.0.1:%1/").arg(m_httpPort);
}

QStringList LoopbackHost::commandLog() const {
    QFile f(m_scratch ? m_scratch->filePath(QStringLiteral("commands.log")) : QString());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QByteArray LoopbackHost::read(const QString& relative) const {
    QFile f(path(relative));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool LoopbackHost::exists(const QString& relative) const {
    return QFileInfo::exists(path(relative));
}

void LoopbackHost::write(const QString& relative, const QByteArray& data) {
    const QString p = path(relative);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(data);
}

void LoopbackHost::exportEnvironment() const {
    qputenv("KRTP_FTP_HOST", ftpHost().toUtf8());
    qputenv("KRTP_BASE_URL", baseUrl().toUtf8());
    qputenv("KRTP_FTP_USER", user().toUtf8());
    qputenv("KRTP_FTP_PASSWORD", password().toUtf8());
    qputenv("KRTP_FTP_TLS", m_tls == Tls::Off ? "off" : "require");
    if (m_caFile.isEmpty())
        qunsetenv("KRTP_FTP_TLS_CA_FILE");
    else
        qputenv("KRTP_FTP_TLS_CA_FILE", m_caFile.toUtf8());
    qunsetenv("KRTP_FTP_TLS_PINNED_KEY");
    reloadSiteConfig();
}

void LoopbackHost::setFaults(const QByteArray& json) {
    const QString file = m_control.filePath(QStringLiteral("faults.json"));
    if (json.isEmpty()) {
        QFile::remove(file);
        return;
    }
    // Written aside and renamed, so the host never reads half a file.
    const QString part = file + QStringLiteral(".part");
    QFile f(part);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        f.write(json);
        f.close();
        QFile::remove(file);
        QFile::rename(part, file);
    }
}

} // namespace krtp::test
