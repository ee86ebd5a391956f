// The platform layer: the Windows operations the agent relies on, provided on POSIX.
// Agent code includes this header only. Each folder stands in for one Windows library.
#pragma once

#include "types.h"
#include "kernel32/errors.h"
#include "kernel32/handles.h"
#include "kernel32/conversions.h"
#include "kernel32/message.h"
#include "crt/format.h"
#include "kernel32/sync.h"
#include "kernel32/environment.h"
#include "kernel32/time.h"
#include "advapi32/crypt_context.h"
#include "advapi32/crypt_hash.h"
#include "advapi32/registry.h"
#include "kernel32/paths.h"
#include "kernel32/files.h"
#include "shell32/directories.h"
#include "shlwapi/strings.h"
#include "shlwapi/path_text.h"
#include "crt/stdio.h"
#include "crt/direct.h"
