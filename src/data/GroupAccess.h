#pragma once

#include <QString>

// Sharing files with the group that shares their folder. On Linux the
// folder where the users of the group "quarvel" keep the register is setgid:
// what is made in it belongs to the folder's group. Files and folders made
// there for the whole group (the register, the backups folder) also need the
// group's write access, which the maker's umask usually withholds. On
// Windows new files take the folder's access list and nothing is needed.
//
// GroupAccess.cpp holds the program's only calls to the POSIX file interface.
namespace GroupAccess {

// When the folder holding `path` is setgid: gives `path` that folder's
// group and the group's write access (a folder also setgid, so that what is
// made in it stays the group's). Elsewhere leaves `path` as it is. Empty when
// done, otherwise what failed.
QString shareWithFolderGroup(const QString& path);

}  // namespace GroupAccess
