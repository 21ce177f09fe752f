#include "sshdhost.h"
#include "serverwait.h"

#include "config/siteconfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace krtp::test {

namespace {

// sshd chroots only into a folder that root owns and nobody else can write, all the way up.
bool onlyRootWrites(const QString& path) {
    QString p = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    for (;;) {
        struct stat st {};
        if (::stat(QFile::encodeName(p).constData(), &st) != 0 || st.st_uid != 0 || (st.st_mode & 022))
            return false;
        if (p == QLatin1String("/"))
            return true;
        p = QFileInfo(p).path();
    }
}

} // namespace

SshdHost::SshdHost() {
    const passwd* pw = ::getpwuid(::geteuid());
    m_user = pw ? QString::fromLocal8Bit(pw->pw_name) : QString();
}

SshdHost::~SshdHost() {
    stop();
}

QString SshdHost::sshdPath() {
    return QStringLiteral("/usr/sbin/sshd");
}

QString SshdHost::host() const {
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QString SshdHost::knownHostsLine() const {
    return QStringLiteral("[127.0.0.1]:%1 ").arg(m_port) + m_hostPublic;
}

QString SshdHost::kbdInteractiveHost() const {
    return QStringLiteral("127.0.0.1:%1").arg(m_kbdPort);
}

bool SshdHost::makeKey(const QString& dir, const QString& name, QString* fingerprint, QString* publicKey,
                       const QString& passphrase) {
    const QString path = dir + QLatin1Char('/') + name;
    QFile::remove(path);
    QFile::remove(path + QStringLiteral(".pub"));
    QProcess keygen;
    keygen.start(QStringLiteral("ssh-keygen"),
                 {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"), QStringLiteral("-N"),
                  passphrase, QStringLiteral("-C"), name, QStringLiteral("-f"), path});
    if (!keygen.waitForFinished(30000) || keygen.exitCode() != 0)
        return false;
    QFile pub(path + QStringLiteral(".pub"));
    if (!pub.open(QIODevice::ReadOnly))
        return false;
    const QStringList fields = QString::fromUtf8(pub.readAll()).split(QLatin1Char(' '));
    if (fields.size() < 2)
        return false;
    *publicKey = fields[0] + QLatin1Char(' ') + fields[1];
    QProcess show;
    show.start(QStringLiteral("ssh-keygen"), {QStringLiteral("-l"), QStringLiteral("-E"),
                                              QStringLiteral("sha256"), QStringLiteral("-f"), path});
    if (!show.waitForFinished(30000) || show.exitCode() != 0)
        return false;
    static const QRegularExpression sha(QStringLiteral("SHA256:\\S+"));
    *fingerprint = sha.match(QString::fromUtf8(show.readAllStandardOutput())).captured();
    return !fingerprint->isEmpty();
}

// A shadow file with the account's password for sshd's own mount namespace; empty when sshd cannot
// have one (not root, or no namespaces here).
QString SshdHost::shadowFile(const QString& dir) const {
    if (::geteuid() != 0 || m_user != QLatin1String("root"))
        return {};
    QProcess probe;
    probe.start(QStringLiteral("unshare"), {QStringLiteral("-m"), QStringLiteral("true")});
    if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
        return {};
    QProcess hash;
    hash.start(QStringLiteral("openssl"),
               {QStringLiteral("passwd"), QStringLiteral("-6"), QStringLiteral("-stdin")});
    hash.write("pass word:2\n");
    hash.closeWriteChannel();
    if (!hash.waitForFinished(10000) || hash.exitCode() != 0)
        return {};
    const QByteArray crypted = hash.readAllStandardOutput().trimmed();
    const QString path = dir + QStringLiteral("/shadow");
    QFile f(path);
    if (crypted.isEmpty() || !f.open(QIODevice::WriteOnly) ||
        f.write("root:" + crypted + ":19000:0:99999:7:::\n") < 0)
        return {};
    return path;
}

QString SshdHost::chrootBase() const {
    if (::geteuid() != 0)
        return {};
    for (const QString& base : {qEnvironmentVariable("KRTP_BINARY_DIR"), QDir::tempPath()})
        if (!base.isEmpty() && onlyRootWrites(base))
            return base;
    return {};
}

bool SshdHost::start(QString* error) {
    const QString dir = m_config.path();
    QString clientPublic;
    QString unused;
    if (!makeKey(dir, QStringLiteral("host_key"), &m_hostFingerprint, &m_hostPublic) ||
        !makeKey(dir, QStringLiteral("client_key"), &unused, &clientPublic)) {
        *error = QStringLiteral("ssh-keygen could not make the keys");
        return false;
    }
    m_clientKey = dir + QStringLiteral("/client_key");
    QString lockedPublic;
    if (!makeKey(dir, QStringLiteral("locked_key"), &unused, &lockedPublic, keyPassphrase())) {
        *error = QStringLiteral("ssh-keygen could not make the key with a passphrase");
        return false;
    }
    m_lockedKey = dir + QStringLiteral("/locked_key");
    QFile keys(dir + QStringLiteral("/authorized_keys"));
    if (!keys.open(QIODevice::WriteOnly) ||
        keys.write(clientPublic.toUtf8() + '\n' + lockedPublic.toUtf8() + '\n') < 0) {
        *error = QStringLiteral("cannot write authorized_keys");
        return false;
    }
    keys.close();

    const QString base = chrootBase();
    m_chrooted = !base.isEmpty();
    m_siteDir = std::make_unique<QTemporaryDir>(m_chrooted ? base + QStringLiteral("/krtp-sftp-XXXXXX")
                                                           : dir + QStringLiteral("/site-XXXXXX"));
    m_root = m_siteDir->path();
    if (m_chrooted)
        ::chmod(QFile::encodeName(m_root).constData(), 0755);
    // As root, sshd keeps its unprivileged helpers in /run/sshd.
    if (::geteuid() == 0 && !QDir().mkpath(QStringLiteral("/run/sshd"))) {
        *error = QStringLiteral("cannot make /run/sshd");
        return false;
    }

    const QString shadow = shadowFile(dir);
    m_password = shadow.isEmpty() ? QString() : QStringLiteral("pass word:2");
    m_port = FreePort();
    do
        m_kbdPort = FreePort();
    while (m_kbdPort == m_port);
    QStringList conf{
        QStringLiteral("Port %1").arg(m_port),
        QStringLiteral("ListenAddress 127.0.0.1"),
        QStringLiteral("HostKey ") + dir + QStringLiteral("/host_key"),
        QStringLiteral("PidFile none"),
        QStringLiteral("AuthorizedKeysFile ") + dir + QStringLiteral("/authorized_keys"),
        QStringLiteral("AllowUsers ") + m_user,
        QStringLiteral("PubkeyAuthentication yes"),
        QStringLiteral("PasswordAuthentication ") +
            (shadow.isEmpty() ? QStringLiteral("no") : QStringLiteral("yes")),
        QStringLiteral("KbdInteractiveAuthentication ") +
            (shadow.isEmpty() ? QStringLiteral("no") : QStringLiteral("yes")),
        QStringLiteral("PermitRootLogin ") +
            (shadow.isEmpty() ? QStringLiteral("prohibit-password") : QStringLiteral("yes")),
        QStringLiteral("UsePAM ") + (shadow.isEmpty() ? QStringLiteral("no") : QStringLiteral("yes")),
        QStringLiteral("StrictModes no"),
        QStringLiteral("UseDNS no"),
        QStringLiteral("MaxStartups 100"),
        QStringLiteral("LogLevel VERBOSE"),
        QStringLiteral("Subsystem sftp internal-sftp"),
        QStringLiteral("ChrootDirectory ") + (m_chrooted ? m_root : QStringLiteral("none")),
        QStringLiteral("ForceCommand internal-sftp -d ") + (m_chrooted ? QStringLiteral("/") : m_root),
    };
    // The second port offers keyboard-interactive alone (libcurl would otherwise log in by password).
    if (!shadow.isEmpty()) {
        conf.insert(1, QStringLiteral("Port %1").arg(m_kbdPort));
        conf << QStringLiteral("Match LocalPort %1").arg(m_kbdPort)
             << QStringLiteral("AuthenticationMethods keyboard-interactive");
    }
    const QString confFile = dir + QStringLiteral("/sshd_config");
    QFile f(confFile);
    if (!f.open(QIODevice::WriteOnly) || f.write(conf.join(QLatin1Char('\n')).toUtf8() + '\n') < 0) {
        *error = QStringLiteral("cannot write ") + confFile;
        return false;
    }
    f.close();
    m_sshd.setProcessChannelMode(QProcess::MergedChannels);
    const QStringList sshdArguments{QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"),
                                    confFile};
    if (shadow.isEmpty()) {
        m_sshd.start(sshdPath(), sshdArguments);
    } else {
        // The shadow file stands in for the system's in sshd's own mount namespace only, and so does a
        // PAM stack without the two-second delay after each refused password; sh ends by becoming sshd,
        // so stopping the process stops sshd.
        const QString pam = dir + QStringLiteral("/pam_sshd");
        QFile pamFile(pam);
        if (!pamFile.open(QIODevice::WriteOnly) ||
            pamFile.write("auth required pam_unix.so nodelay\naccount required pam_unix.so\n"
                          "session required pam_permit.so\n") < 0) {
            *error = QStringLiteral("cannot write ") + pam;
            return false;
        }
        pamFile.close();
        m_sshd.start(
            QStringLiteral("unshare"),
            QStringList{QStringLiteral("-m"), QStringLiteral("sh"), QStringLiteral("-c"),
                        QStringLiteral("mount --bind \"$0\" /etc/shadow && { [ ! -e /etc/pam.d/sshd ] "
                                       "|| mount --bind \"$1\" /etc/pam.d/sshd; } && shift && "
                                       "exec \"$@\""),
                        shadow, pam, sshdPath()} +
                sshdArguments);
    }
    if (!m_sshd.waitForStarted(5000)) {
        *error = QStringLiteral("cannot start sshd");
        return false;
    }
    // Ready once it sends its banner.
    if (!WaitForBanner(m_sshd, m_port, "SSH-2.0-")) {
        *error = QStringLiteral("sshd did not answer: ") + log();
        return false;
    }
    m_httpPort = StartHttpServer(m_web, m_root);
    if (!m_httpPort) {
        *error = QStringLiteral("the HTTP server did not start");
        return false;
    }
    return true;
}

void SshdHost::stop() {
    StopServer(m_sshd);
    StopServer(m_web);
}

QString SshdHost::log() {
    m_log += m_sshd.readAll();
    return QString::fromLocal8Bit(m_log);
}

void SshdHost::exportEnvironment(bool pin) const {
    qputenv("KRTP_PROTOCOL", "sftp");
    qputenv("KRTP_FTP_HOST", host().toUtf8());
    qputenv("KRTP_BASE_URL", QStringLiteral("http://127.0.0.1:%1/").arg(m_httpPort).toUtf8());
    qputenv("KRTP_FTP_USER", m_user.toUtf8());
    qputenv("KRTP_SFTP_KEY_FILE", m_clientKey.toUtf8());
    if (pin)
        qputenv("KRTP_SFTP_HOST_KEY", m_hostFingerprint.toUtf8());
    else
        qunsetenv("KRTP_SFTP_HOST_KEY");
    reloadSiteConfig();
}

} // namespace krtp::test
