#include "kernel32/command_line.h"

namespace qvplatform {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> arguments;
  size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  if (i == line.size()) return arguments;

  std::string program;
  if (line[i] == '"') {
    size_t end = line.find('"', i + 1);
    if (end == std::string_view::npos) end = line.size();
    program = line.substr(i + 1, end - i - 1);
    i = end == line.size() ? end : end + 1;
  } else {
    while (i < line.size() && !IsBlank(line[i])) program += line[i++];
  }
  arguments.push_back(std::move(program));

  for (;;) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i == line.size()) break;
    std::string argument;
    bool quoted = false;
    while (i < line.size() && (quoted || !IsBlank(line[i]))) {
      if (line[i] == '\\') {
        size_t count = 0;
        while (i < line.size() && line[i] == '\\') {
          ++count;
          ++i;
        }
        if (i < line.size() && line[i] == '"') {
          argument.append(count / 2, '\\');
          if (count % 2 == 1) {
            argument += '"';
            ++i;
          }
        } else {
          argument.append(count, '\\');
        }
      } else if (line[i] == '"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          argument += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        argument += line[i++];
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

}  // namespace qvplatform
