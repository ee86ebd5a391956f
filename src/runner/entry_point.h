#pragma once

// The prerequisite handler's run: applies the service pack in the set-up folder below the current
// directory and returns the set-up program's folded exit code.
int PrereqHandlerMain(int argc, char** argv);
