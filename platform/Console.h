// The process's standard streams as seen by command-line tools.
#pragma once

namespace Norvane::Platform {

// Standard stream numbers.
inline constexpr int StdIn = 0;
inline constexpr int StdOut = 1;
inline constexpr int StdErr = 2;

// True when the stream with this number is connected to a terminal.
bool IsTerminal(int fd);

// Width of the terminal on that stream in columns; 0 when unknown.
int TerminalWidth(int fd);

// Makes the stream with this number pass bytes unchanged (no line-end
// translation, as the C runtime's text mode does on Windows); for output of
// file contents. Nothing to do where streams are bytes anyway.
void SetBinaryMode(int fd);

} // namespace Norvane::Platform
