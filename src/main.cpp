// qvprereqhandler: applies the database-server service pack silently and returns its outcome.
#include "runner/entry_point.h"
#include "win32.h"

int main(int argc, char** argv) {
  int result = PrereqHandlerMain(argc, argv);
  // An agent that started this program through the platform layer reads the full 32-bit result
  // from the exit-code channel; the POSIX exit status carries its low 8 bits.
  qvplatform::ReportExitCode(static_cast<uint32_t>(result));
  return result;
}
