// File-name patterns with the Windows rules for "*" and "?".
#pragma once

#include <string_view>

namespace qvplatform {

// True when `name` matches `pattern`. "*" matches any run of characters; a "*" followed by "." stops
// short of the name's last dot, so "*.*" matches every name and "*." only names without a dot; "?"
// matches one character, or nothing at a "." or at the end of the name; a "." followed by a wildcard
// or ending the pattern also matches the end of the name. Other characters match themselves, case
// sensitively.
bool MatchesFilePattern(std::string_view pattern, std::string_view name);

// True when the text holds "*" or "?".
bool HasWildcards(std::string_view text);

}  // namespace qvplatform
