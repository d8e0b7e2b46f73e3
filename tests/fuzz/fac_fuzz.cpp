// Project files through the parse layer: current and old layouts, kept
// state, and the preview alone.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tests/fuzz/files_fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
	FilesFuzzInit();
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	std::string_view bytes(reinterpret_cast<const char *>(data), size);
	for (bool keep : {false, true}) {
		files::ProjectParseOptions o;
		o.keep = keep;
		o.presentVertices = 8;
		o.presentTriangles = 12;
		o.loadTemplate = FuzzCubeOnly;
		files::ProjectRecord r;
		std::string why;
		files::ParseProject(bytes, o, r, why);
	}
	CWinBmp preview;
	files::GetFileMainInfo(bytes, preview);
	return 0;
}
