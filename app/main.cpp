#include "app/program_qt.h"

int main(int argc, char** argv) { return RunBrivantaUnderQt(argc, argv); }
