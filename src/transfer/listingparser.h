#pragma once

#include <QByteArray>
#include <QString>

namespace krtp {

// The host's folder listings turned into the reply of "ls": one name per line, each ending in CR LF,
// folders with a trailing "/". Pure functions of the listing text, so they are tested without a host.

// One MLST/MLSD line: "modify=...;size=3;type=file; name". Sets the type fact in lower case
// ("file", "dir", "cdir", "pdir") and the name; false for a line without a type fact.
bool ParseMachineListingLine(const QByteArray& line, QByteArray& type, QString& name);

// An MLSD body: entries other than the folder itself and its parent.
QByteArray FormatMachineListing(const QByteArray& body);

// A Unix-style LIST body, for hosts without MLSD: the name is everything after the eighth field;
// a link lists under its own name.
QByteArray FormatUnixListing(const QByteArray& body);

} // namespace krtp
