#include "app/faceapp.h"
#include "qtbackend/qt_backend.h"

int main(int argc, char** argv) {
    if (int code = brv::CheckDisplay()) return code;
    brv::QtBackend backend(argc, argv);
    return RunBrivanta(argc, argv, backend);
}
