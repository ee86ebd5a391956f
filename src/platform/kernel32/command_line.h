// Splitting a Windows command line into arguments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qvplatform {

// Splits `commandLine` the way Windows programs receive it:
// - The first argument (the program) ends at the first blank or tab; when it begins with a double
//   quote it runs to the next double quote instead (or to the end), with no escapes.
// - Other arguments are separated by blanks and tabs outside double quotes; double quotes group and
//   are removed; inside a quoted part a doubled quote stands for one quote.
// - 2n backslashes before a double quote give n backslashes and the quote groups; 2n+1 give n
//   backslashes and a literal quote; backslashes elsewhere are literal.
// - A quoted part left open runs to the end of the line.
// Leading blanks are skipped; a line with no program gives an empty list.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

}  // namespace qvplatform
