#pragma once

#include <QString>
#include <QStringList>

namespace krtp {

// The files the program keeps in the control folder "krg" are the program's own: the catalogue and
// its backup, the account file, the message file, the news list, every member's access list, the
// lock folders and anything kept there later. No member's action (adding files, the explorer, the
// editor) may write them except through the operation that owns them. Names are compared ignoring
// letter case; a ".backup" copy of a control file is one too.
//
// members: the member names of the account file (their access lists are "<member>.dat").
bool IsControlFileName(const QString& name, const QStringList& members);

// The text shown when a member's action would write a control file.
QString ControlFileMessage(const QString& name);

// Whether a member name may be created: a name beginning with "_" would make the member's access
// list a control file's name ("_files.dat", "_news.dat").
bool IsAllowedMemberName(const QString& name);

} // namespace krtp
