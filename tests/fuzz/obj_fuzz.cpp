// OBJ figures through the import's parse and head build.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "document/obj_import.h"
#include "tests/fuzz/files_fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
	FilesFuzzInit();
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	files::ObjImport r;
	std::string why;
	if (files::ParseObj(std::string_view(reinterpret_cast<const char *>(data), size), svc::app().state(), r, why))
		files::BuildObjHead(r);
	return 0;
}
