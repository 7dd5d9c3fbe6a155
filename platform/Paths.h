#pragma once
// Where the program lives and where per-user files go on Linux.

#include <QString>

namespace platform {

// Full path of the running program file.
QString ProgramFilePath();
// Folder of the program file, with a trailing "/".
QString ProgramFolder();
// The per-user folder for settings (XDG config, e.g. ~/.config), empty when it cannot be had.
QString UserSettingsFolder();
// The per-user folder for data such as stored objects (XDG data, e.g. ~/.local/share).
QString UserDataFolder();
// The per-user folder for state that outlives a session, such as recovery copies (XDG state, e.g.
// ~/.local/state), with the program's own folder inside; empty when no home is known.
QString UserStateFolder();
// The user's temporary folder.
QString TempFolder();
// Appends "/" unless the path already ends with one.
QString WithTrailingSlash(const QString& folder);

} // namespace platform
