#include "SimRunner.h"

namespace sim {
int RunnerMain(int, char**) { return 0; }
}
