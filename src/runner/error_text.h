// Texts for system error codes and installer exit codes.
#pragma once

#include <string>

#include "win32.h"

// The system's text for the code (not trimmed; it ends with a blank in place of its line break), or
// the agent's own text when the system has none. Logs it: "Message : ..." at INFO for 0, otherwise
// "Error Code : ..." at ERROR.
std::string GetErrorMessageText(DWORD code);
// Logs the text as GetErrorMessageText does.
void LogErrorMessage(DWORD code);
// Logs the system text trimmed of blanks at both ends (or the agent's own text); returns 0.
int LogErrorMessageTrimmed(DWORD code);
// The agent's own text for codes the system has no text for.
std::string GetCustomErrorText(DWORD code);
