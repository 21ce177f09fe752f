// Any catalogue bytes read without a crash or a hang; a catalogue read as complete is written back
// into one that reads as complete again, with as many records.
#include "filestore/catalogue.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const krtp::CatalogueDocument doc = krtp::ParseCatalogue(bytes);
    if (!doc.complete)
        return 0;
    QString unencodable;
    const QByteArray written = krtp::WriteCatalogue(doc, &unencodable);
    if (!unencodable.isEmpty())
        return 0;
    const krtp::CatalogueDocument again = krtp::ParseCatalogue(written);
    if (!again.complete || again.records.size() != doc.records.size())
        std::abort();
    return 0;
}
