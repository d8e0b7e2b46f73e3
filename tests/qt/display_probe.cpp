// Starts as the program starts: without a display it says so and ends with 2.
#include "qtbackend/qt_backend.h"
#include "tests/qt/leak_suppressions.h"

int main(int argc, char** argv) {
  if (int code = brv::CheckDisplay()) return code;
  brv::QtBackend backend(argc, argv);
  return backend.Metrics().screenWidth > 0 ? 0 : 1;
}
