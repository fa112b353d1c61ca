// ondrel-sim: runs scenario files on the simulated desktop.
#include "SimRunner.h"

int main(int argc, char** argv) { return sim::RunnerMain(argc, argv); }
