// File-system helpers over the wide-character Windows file functions. Paths
// are used as given; a backslash separates directories.
#pragma once

#include <cstddef>
#include <string>

#include "foundation/ws_string.h"

// Whether the path names an existing file or directory.
bool FileExists(const WsString& path);
// Creates the directory and every missing parent. The chain of parents ends
// at a text without a backslash (a bare name or a drive): that one is created
// or not, but nothing above it is looked for.
void CreateDirectoryTree(const WsString& path);
// Creates the directory (forward slashes are accepted, one trailing separator
// is ignored); true if it exists afterwards.
bool EnsureDirectory(const WsString& path);
// Writes the text as UTF-16LE (two bytes per code unit, no byte-order mark),
// creating the file's directory first and replacing an existing file. True
// only if every byte was written.
bool WriteTextFile(const WsString& path, const wchar_t* text, size_t length);
// Reads the whole file into bytes (replacing what they held). False when it
// cannot be opened or read.
bool ReadWholeFile(const WsString& path, std::string& bytes);
