#pragma once

#include <string>

// Program versions and the installer of a new one.

// Compares two dotted version texts: -1 when a is lower, 0 when equal, 1 when a is higher.
// Parts are compared pairwise as texts brought to exactly 10 characters (blanks on the left,
// or cut to the first 10), byte by byte, so numeric parts of up to 10 digits compare by value;
// when all compared parts agree, the text with fewer parts is lower (an empty text has none).
int CompareVersions(const std::string& a, const std::string& b);

// This program's version as "%d.%d.%d.%d" (major, minor, release, build).
std::string ProgramVersion();

// The name an installer downloaded to localFile is started under: localFile itself when its
// extension is ".exe" in any case, otherwise the name with its extension replaced by ".exe"
// (appended when it has none).
std::string InstallerProgramName(const std::string& localFile);

// Puts the downloaded installer under InstallerProgramName: an existing file of that name is
// deleted first, then the download is moved there. Returns false (and leaves the download
// where it is) when the old file cannot be deleted or the move fails. Names: code page 1250.
bool MoveInstallerInPlace(const std::string& localFile, const std::string& programName);
