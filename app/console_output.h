// The program's text output on each platform: standard output (on Windows the parent's
// console or the pipe it was started with) and log files opened for appending. Texts are
// UTF-8; the caller closes a file it was given.
#pragma once

#include <cstdio>
#include <string>

// Writes the text whole to standard output; false when it could not.
bool writeStandardOutput(const std::string& text);
// The file at path (UTF-8) opened for appending in binary mode, made when missing; null when
// it cannot be opened.
std::FILE* openFileForAppend(const std::string& path);
