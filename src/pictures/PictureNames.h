#pragma once

#include <string>
#include <string_view>

#include "core/DateTime.h"

// The names of item pictures: a card's picture name, the local file name it is stored under in
// the pictures folder and the web address it is fetched from. All texts are code page 1250;
// stored names use "\" as the folder separator.

// The picture name of an entry made from a card's text: everything up to and including the
// first ":" dropped (a drive letter or a scheme), then every leading "\" or "/" dropped, so the
// name is relative to the pictures folder.
std::string NormalisePictureName(std::string_view text);

// Compares two picture or local names without regard to letter case (code page 1250).
bool SameName(std::string_view a, std::string_view b);

// A local name made up by the program: not empty, not the picture name (any case), and
// beginning with the prefix (any case).
bool IsTemporaryName(std::string_view localName, std::string_view pictureName, std::string_view prefix);

// The web address of a picture: the name alone when the web folder is empty, otherwise the
// folder and the name joined by "/" (none added after a folder ending in "/" or "\"); every "\"
// then becomes "/". Nothing is percent-encoded here.
std::string WebAddress(std::string_view webFolder, std::string_view pictureName);

// The picture name holds a character a file name may not hold: a control character, '"', '*',
// ':', '<', '>', '?', '|' or the byte 0xFF.
bool NeedsGeneratedName(std::string_view pictureName);

// The local name a download is stored under: for a name that needs one, the prefix, the moment
// as "yyyymmdd-hhnnsszzz" and the picture name's extension (cut before its first character a
// file name may not hold, so "show.php?id=5" gives ".php"); otherwise the picture name. Every
// "/" becomes "\".
std::string NewLocalName(std::string_view pictureName, std::string_view prefix, TDateTime now);

// The file a local name stands for inside the pictures folder, as the operating system wants it
// (UTF-8, "/"). Empty when the name would lead outside the folder or is no file name at all:
// empty or blank, absolute, with a drive letter, or with a ".." component.
std::string PictureFilePath(const std::string& folder, const std::string& localName);
