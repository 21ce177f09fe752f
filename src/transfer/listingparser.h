#pragma once

#include <QByteArray>
#include <QString>

namespace krtp {

// The host's folder listings turned into the reply of "ls": one name per line, each ending in CR LF,
// folders with a trailing "/". Pure functions of the listing text, so they are tested without a host.
// The host is not trusted: a name that cannot be one entry of the folder (empty, "." or "..", with a
// "/" or "\\" or a control character) is left out, so it never reaches a local path or a command.

// Whether a listed name can be one entry of the folder.
bool IsPlainEntryName(const QByteArray& name);

// One MLST/MLSD line: "modify=...;size=3;type=file; name". Sets the type fact in lower case
// ("file", "dir", "cdir", "pdir") and the name; false for a line without a type fact.
bool ParseMachineListingLine(const QByteArray& line, QByteArray& type, QString& name);

// An MLSD body: entries other than the folder itself and its parent.
QByteArray FormatMachineListing(const QByteArray& body);

// A LIST body, for hosts without MLSD. Unix style: the name is everything after the eighth field; a
// link lists under its own name. DOS style (as IIS sends it: "02-18-22  03:14PM  <DIR>  name" or
// "... 1234 name"): the name is everything after the blank that follows the size, or after the blanks
// that follow "<DIR>".
QByteArray FormatUnixListing(const QByteArray& body);

// The size the host lists for name: from an MLST/MLSD facts line ("size=" fact) or a Unix or DOS LIST
// line of that name; -1 when the listing does not name it with a size.
qint64 ListedSize(const QByteArray& body, const QByteArray& name);

} // namespace krtp
