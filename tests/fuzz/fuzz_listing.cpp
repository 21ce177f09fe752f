// Any listing the host sends turns into whole "name\r\n" lines, and nothing else.
#include "transfer/listingparser.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QByteArray& names : {krtp::FormatMachineListing(body), krtp::FormatUnixListing(body)}) {
        if (!names.isEmpty() && !names.endsWith("\r\n"))
            std::abort();
        for (const QByteArray& line : names.split('\n'))
            if (line.contains('\n'))
                std::abort();
    }
    QByteArray type;
    QString name;
    krtp::ParseMachineListingLine(body, type, name);
    return 0;
}
