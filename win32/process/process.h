// The process module's interface inside the layer and for its tests. The
// program sees only WinExec, declared in windows.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace win32::process {

// Splits a command line the way a Windows program's C runtime splits its
// own: the program name first (double quotes group, nothing escapes), then
// the arguments (space and tab separate; quotes group; backslashes are
// literal except before a quote, where each pair gives one backslash and an
// odd one makes the quote literal; "" inside quotes is a literal quote).
// Nothing else is special: ; | & $ ( ) ` and line breaks stay as they are.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

} // namespace win32::process
