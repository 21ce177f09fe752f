// krtp-cli make-accounts: writes an account file from a plain member list, with the program's own
// record format. Used to build the demo site's krg/_files.dat.
#include "accounts/accountfile.h"
#include "cli/clicommand.h"
#include "util/fileutil.h"

#include <QFile>

#include <cstdio>

namespace krtp::cli {

namespace {

// Member list: one "name,password,level" line each (UTF-8); blank lines and lines starting
// with "#" are skipped.
bool readMemberList(const QString& path, QList<AccountRecord>& members, QString& error) {
    QByteArray data;
    if (!ReadWholeFile(path, data, &error))
        return false;
    int lineNumber = 0;
    for (const QByteArray& raw : data.split('\n')) {
        ++lineNumber;
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char(','));
        bool ok = false;
        const int level = fields.value(2).trimmed().toInt(&ok);
        if (fields.size() != 3 || !ok || level < 0 || level > 255) {
            error = QStringLiteral("%1:%2: expected name,password,level").arg(path).arg(lineNumber);
            return false;
        }
        members.append({fields.at(0).trimmed(), fields.at(1).trimmed(), quint8(level)});
    }
    return true;
}

int makeAccounts(const QStringList& arguments) {
    QStringList args = arguments;
    const QString membersPath = takeOption(args, QStringLiteral("--members"));
    const QString outPath = takeOption(args, QStringLiteral("--out"));
    if (membersPath.isEmpty() || outPath.isEmpty() || !args.isEmpty()) {
        std::fprintf(stderr, "usage: krtp-cli make-accounts --members LIST --out FILE\n");
        return 2;
    }
    QList<AccountRecord> members;
    QString error;
    if (!readMemberList(membersPath, members, error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QByteArray file;
    for (const AccountRecord& m : members) {
        const QByteArray record = EncodeAccountRecord(m, &error);
        if (record.isEmpty()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(m.Name), qPrintable(error));
            return 1;
        }
        file += record;
    }
    if (!WriteWholeFile(outPath, file, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("%lld members written to %s\n", static_cast<long long>(members.size()), qPrintable(outPath));
    return 0;
}

CliRegistration makeAccountsCommand({"make-accounts", "make-accounts --members LIST --out FILE",
                                     makeAccounts});

} // namespace

} // namespace krtp::cli
