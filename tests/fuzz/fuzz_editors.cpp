// Any external editors file read without a crash or a hang: every editor has a name and a command,
// and the file's text, read in its own encoding, is written back byte for byte.
#include "sitetools/externaleditors.h"
#include "sitetools/sitetext.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstdint>
#include <cstdlib>

// Qt warns about every name with a NUL that reaches the file system; the noise slows the run down.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const krtp::ExternalEditor& e : krtp::ParseExternalEditors(bytes)) {
        if (e.name.isEmpty() || e.command.isEmpty() || e.caption().isEmpty())
            std::abort();
        if (e.program().contains(QLatin1Char('"')))
            std::abort();
    }
    const krtp::SiteText text = krtp::SiteText::decode(bytes);
    if (text.encode() != bytes)
        std::abort();
    return 0;
}
