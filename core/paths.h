// File names as the constants file holds them, and their way to the file system.
// Names may come from Windows (drive letters, '\' separators, other letter case).
#pragma once

#include <cstdio>

#include "core/common.h"

namespace tralvik {

// A name is absolute when its second character is ':' or its first is '/'.
bool IsAbsolute(const Text& name);
// The text after the last '\' or '/' (all of it when there is none).
Text LastComponent(const Text& name);
// dir + separator + name, cut to 250 characters.
Text JoinPath(const Text& dir, const Text& name);

// Windows-1252 bytes to UTF-8 (for display and for the file system) and back.
std::string Cp1252ToUtf8(const Text& text);
Text Utf8ToCp1252(const std::string& utf8);

// A path the system names (the working folder, a folder or file given on the
// command line) as the simulation's texts hold it. The path is the system's
// own and is used as it is: when it has no exact Windows-1252 form (letters
// outside it, a '\' within a name), names that begin with the text returned
// reach that path all the same, in FsPath and in Cp1252ToUtf8.
Text SystemPathText(const std::string& path);

// The name handed to the file system: UTF-8, '\' read as '/', and when the
// file does not exist but its folder holds exactly one file whose name differs
// only in letter case, that file.
std::string FsPath(const Text& name);

// Opens `name` through FsPath; throws IoError with the runtime's text on failure.
// Opened for reading, only a regular file is taken (OpenRegularFile).
std::FILE* OpenOrThrow(const Text& name, const char* mode);
bool FileExists(const Text& name);

} // namespace tralvik
