// Head files in the model text format through the parse layer.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "document/head_files.h"
#include "tests/fuzz/files_fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
	FilesFuzzInit();
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	files::HeadRead r;
	std::string why;
	files::ParseTHE(std::string_view(reinterpret_cast<const char *>(data), size), r, why);
	return 0;
}
