#pragma once

namespace sim {
int RunnerMain(int argc, char** argv);
}
