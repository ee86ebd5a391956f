#include "support/temp_hive.h"

namespace qvtest {

TempHive::TempHive() : file_(dir_.path() / "hive" / "registry.db"), env_("QVAGENT_REGISTRY", file_.string()) {}

}  // namespace qvtest
