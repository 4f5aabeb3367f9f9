#pragma once

#include <string>

// Joins a folder and a name the way stored paths are written: the name alone for an empty
// folder; no separator after a trailing "\" (or "/") or a bare drive such as "C:"; otherwise
// "/" for a folder of this machine (a POSIX path) and "\" for a stored Windows-style one.
std::string JoinPath(const std::string& folder, const std::string& name);

// The path as the file system wants it: every "\" of a stored name becomes "/".
std::string ToNativePath(const std::string& path);

// The name handed to the operating system for a file name held inside the program (code
// page 1250, possibly with "\" separators): UTF-8 with "/".
std::string NativeFileName(const std::string& fileName);

// The full path of the running program (code page 1250), from /proc/self/exe; "." when it
// cannot be read.
std::string ThisProgramFile();

// The folder part of a file name (code page 1250, "\" or "/"): "." for a bare name, "/" for a
// file in the root.
std::string FileFolder(const std::string& fileName);
