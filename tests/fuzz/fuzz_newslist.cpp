// Any news list read without a crash or a hang; a page path or template path that passes the check
// maps into the mirror folder and to a host path below the site root.
#include "sitetools/newspages.h"
#include "transfer/mirrorpath.h"
#include "util/textutil.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

namespace {

bool insideSite(const QString& path) {
    for (const QString& part : path.split(QLatin1Char('/')))
        if (part == QLatin1String(".."))
            return false;
    for (QChar c : path)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c == QLatin1Char('\\'))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<krtp::NewsPage> pages =
        krtp::ParseNewsPages(krtp::DecodeText(bytes), QStringLiteral("Tomas"));
    for (const krtp::NewsPage& page : pages) {
        for (const QString& path : {page.pagePath, page.templatePath}) {
            if (!krtp::SitePathError(path).isEmpty())
                continue;
            const krtp::MirrorPath m = krtp::MapMirrorPath(path);
            if (!m.ok || !m.localFile().startsWith(QLatin1String("VelmarFTP/")) ||
                !m.hostFile().startsWith(QLatin1Char('/')) || m.hostFile().startsWith(QLatin1String("//")) ||
                !insideSite(m.localFile()) || !insideSite(m.hostFile()) || m.fileName.isEmpty())
                std::abort();
        }
    }
    return 0;
}
