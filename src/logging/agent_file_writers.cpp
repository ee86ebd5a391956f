// The agent's error log and the small file writers of the transfer and access logs.
#include <cstdarg>
#include <cstdio>
#include <string>

#include "config/agent_parameters.h"
#include "logging/agent_logger.h"
#include "logging/log_core.h"
#include "util/file_utils.h"
#include "util/time_text.h"

DWORD WriteBufferToErrorLog(const char* text) {
  LogDebug("Writing Buffer in to Error Log.\n");
  // Without an installation folder there is no logs folder to write into.
  if (!QVAgentInstallDir || !text) return kAgentFailure;
  const std::string path = *QVAgentInstallDir + "logs\\qverror.log";
  const std::string dateTime = GetDateTimeString();
  DWORD code = AppendLineToFile(path.c_str(), dateTime.c_str());
  if (code != ERROR_SUCCESS) return code;
  return AppendLineToFile(path.c_str(), text);
}

void AppendFormattedTextToFile(const char* path, const char* format, ...) {
  FILE* file = crt_fopen(path, "a");
  if (!file) return;
  va_list args;
  va_start(args, format);
  const std::string text = qvplatform::FormatV(format, args);
  va_end(args);
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

void WriteHeaderIfFileAbsent(const char* path, const char* text) {
  if (IsFileExist(path)) return;
  FILE* file = crt_fopen(path, "a");
  if (!file) return;
  std::fputs(text, file);
  std::fclose(file);
}
