#include "run_driver.h"

// No arguments, no questions: the configuration file in the working folder says what to do.
int main() { return bfq::runTool(); }
