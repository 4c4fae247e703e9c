// The program's text output on each platform: standard output (on Windows the parent's
// console or the pipe it was started with) and log files opened for appending. Texts are
// UTF-8; the caller closes a file it was given. On Windows where each stream goes is found at
// its first write and kept for the process, with the parent's console attached at most once.
// The reasons a log is refused, in Czech, whatever the system's language.
#pragma once

#include <cstdio>
#include <string>

// Writes the text whole to standard output; false when it could not.
bool writeStandardOutput(const std::string& text);
// Writes the text whole to standard error; false when it could not.
bool writeStandardError(const std::string& text);
// The file at path (UTF-8) opened for appending in binary mode, made when missing; null when
// it cannot be opened, is a link (a reparse point under Windows), is no regular file or has
// more than one name, with the system's reason or ours in reason (UTF-8). When the file does
// not end with a line end, one is added first.
std::FILE* openFileForAppend(const std::string& path, std::string* reason);
// Why the last write to a file failed, in the system's words (UTF-8).
std::string lastWriteError();
