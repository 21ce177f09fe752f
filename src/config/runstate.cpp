#include "config/runstate.h"

#include "util/fileutil.h"
#include "util/textutil.h"

namespace krtp {

RunState& runState() {
    static RunState state;
    return state;
}

QString GetProgramVersion() {
    return QStringLiteral("%1.%2.%3").arg(kProgramMajor).arg(kProgramMinor).arg(kProgramRevision);
}

namespace {

// The number formed by the leading digits (after leading blanks); 0 when there are none. Saturates
// instead of overflowing. A blank before the version must not let an outdated program pass.
long long leadingNumber(const QString& text) {
    long long value = 0;
    for (QChar c : text.trimmed()) {
        if (!c.isDigit() || c.unicode() > '9')
            break;
        value = value * 10 + (c.unicode() - '0');
        if (value > 1'000'000'000LL)
            return value;
    }
    return value;
}

} // namespace

bool CheckProgramVersion(const QString& version) {
    QString major, rest, minor, revision;
    SplitAtFirst(version, QStringLiteral("."), major, rest);
    SplitAtFirst(rest, QStringLiteral("."), minor, revision);
    const long long maj = leadingNumber(major), min = leadingNumber(minor), rev = leadingNumber(revision);
    if (maj != kProgramMajor)
        return maj < kProgramMajor;
    if (min != kProgramMinor)
        return min < kProgramMinor;
    return rev <= kProgramRevision;
}

bool IsSuperUser() {
    const QString name = runState().CurrentUserName.toLower();
    return name == QLatin1String("velmar") || name == QLatin1String("brenmoor");
}

void SetFileReadOnly(const QString& path, bool readOnly, bool force) {
    SetFileReadOnly(path, readOnly, force, runState().NoReadOnly);
}

} // namespace krtp
