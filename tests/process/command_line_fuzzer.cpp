// libFuzzer target for the command-line splitter: any input splits without
// fault, and quoting the arguments back the documented way splits again
// into the same arguments.
#include "process/process.h"

#include <cstdint>
#include <cstdlib>

namespace {

// The inverse of the documented rules: quote every argument, double the
// backslashes that end up before a quote, escape the quotes.
std::string quoteArgument(const std::string& argument)
{
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(2 * backslashes + 1, '\\');
            out += '"';
        } else {
            out.append(backslashes, '\\');
            out += c;
        }
        backslashes = 0;
    }
    out.append(2 * backslashes, '\\');
    out += '"';
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view line(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> arguments = win32::process::splitCommandLine(line);
    if (arguments.empty() || arguments[0].find('"') != std::string::npos)
        return 0;
    std::string rebuilt = "\"" + arguments[0] + "\"";
    for (size_t i = 1; i < arguments.size(); ++i)
        rebuilt += " " + quoteArgument(arguments[i]);
    if (win32::process::splitCommandLine(rebuilt) != arguments)
        std::abort();
    return 0;
}
