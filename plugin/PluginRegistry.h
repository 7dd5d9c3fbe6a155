#pragma once
// Where the plug-in finds the program: a small key-value file standing in for the system registry.
// Lines read `key=value`; blank lines and lines starting with '#' or ';' are ignored; keys compare
// without regard to ASCII case, as registry keys do. The user's file is read before the system's:
//   $XDG_CONFIG_HOME/Velmora/plugins.conf   (default ~/.config/Velmora/plugins.conf)
//   <each folder of $XDG_CONFIG_DIRS>/Velmora/plugins.conf   (default /etc/xdg/Velmora/plugins.conf)
// scripts/install-plugin.sh writes the entry.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

inline constexpr char kProgramKey[] = "SOFTWARE\\Brellix\\Photo Plugins\\Velmora";
// A value is read into this many bytes including its terminating zero; a longer one cannot be read.
inline constexpr std::size_t kMaxRegistryValueBytes = 1024;

std::vector<std::string> RegistryFiles();
// The value of `key` in the first file that has the key; empty when no file has it or the value is too
// long to read.
std::string ReadRegistryValue(const std::vector<std::string>& files, std::string_view key);
// The program's path, or empty.
std::string ReadProgramPath();
