#include "app/faceapp.h"
#include "framework/backend.h"

int main(int argc, char** argv) { return RunBrivanta(argc, argv, brv::DefaultHeadlessBackend()); }
