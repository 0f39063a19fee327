#pragma once

#include <QString>
#include <filesystem>
#include <system_error>

// The file operations that each system does its own way; everything else
// about files goes through Qt or std::filesystem. FilePlatform.cpp holds the
// program's only calls to the POSIX file interface.
namespace FilePlatform {

// Puts `from` in the place of `to` in one step (replacing a file there) and
// the folder's new entry on the disk, so that a device unplugged right after
// holds the new file, and one unplugged during the step the old file or the
// new one. The system's error, or none.
std::error_code replaceDurably(const std::filesystem::path& from, const std::filesystem::path& to);

// Puts what was written to the file on the disk (or the device's storage).
// A file system that cannot sync (some mounts of phones) is not an error.
std::error_code syncFile(const std::filesystem::path& file);

// Sharing files with the group that shares their folder. On Linux the
// folder where the users of the group "quarvel" keep the register is setgid:
// what is made in it belongs to the folder's group. Files and folders made
// there for the whole group (the register, the backups folder) also need the
// group's write access, which the maker's umask usually withholds. On
// Windows new files take the folder's access list and nothing is needed.
//
// When the folder holding `path` is setgid: gives `path` that folder's
// group and the group's read and write access (a folder also setgid, so that
// what is made in it stays the group's). Elsewhere leaves `path` as it is.
// Only for what the caller has just made: only its owner may change it, so
// a folder or file made by someone else is never passed here. Changes
// nothing that is already so. Empty when done, otherwise what failed.
QString shareWithFolderGroup(const QString& path);

// Puts a copy of the file `from` at `to`, a name nothing has yet, not even
// a link (refused otherwise: no file is written through a link). The new file
// is made under a passing name beside `to` that no one else can have made,
// with its access set before any byte is written (the maker's umask, and in
// a setgid folder the group's read and write access), and takes the name
// `to` only when complete. Empty when done, otherwise what failed.
QString installNewFile(const QString& from, const QString& to);

// True when `path` is a link that someone else made: neither this user nor
// the system's administrator. Such a link is never followed where a file is
// replaced, since any member of a shared folder can plant one.
bool isLinkOfAnotherUser(const QString& path);

// Whether anything is at `path` as this user sees it: a file, a folder or a
// link (the link itself, even one that leads nowhere). Hidden when a folder
// on the way may not be opened by this user, who cannot tell.
enum class Presence { Present, Missing, Hidden };
Presence presenceOf(const QString& path);

// The group that `path` (links followed) belongs to, what its members may do
// with it, and whether this user is one of them, as the file system tells.
struct GroupAccess {
    QString name;            // empty where files have no group (Windows), or unknown
    bool read = false;       // the members may read it (a folder: list it)
    bool write = false;      // ...change it (a folder: make and remove files in it)
    bool search = false;     // ...open it (a folder)
    bool inSession = false;  // this program runs with the group's rights
    bool member = false;     // the system counts this user in the group (for
                             // a session started before he was added: from his next)
};
GroupAccess groupAccessOf(const QString& path);

// The name this user signs in with; empty when unknown.
QString userName();

// True when the program's standard error is a terminal (not a file or a
// pipe): the command line then shows long jobs' progress there.
bool standardErrorIsTerminal();

}  // namespace FilePlatform
