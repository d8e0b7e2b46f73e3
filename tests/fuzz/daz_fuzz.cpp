// The DAZ Studio launch fields of the command line. What comes back: no
// field holds a comma (the separator), the group names are lower case.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/faceapp.h"

namespace {

bool holds(const CString& s, auto test) {
	for (char c : s.View())
		if (test(c)) return true;
	return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
	static CFaceApp app;  // the launch fields are read only in the DAZ mode
	app.dazMode = 2;
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	const CString line(std::string(reinterpret_cast<const char *>(data), size).c_str());
	CString version, name, figure, groups[6], headGroup;
	pars_daz_command(line, &version, &name, &figure, groups, &headGroup);
	for (const CString *field : {&version, &name, &figure})
		if (holds(*field, [](char c) { return c == ','; }))
			__builtin_trap();
	for (const CString &g : groups)
		if (holds(g, [](char c) { return c >= 'A' && c <= 'Z'; }))
			__builtin_trap();
	if (holds(headGroup, [](char c) { return c >= 'A' && c <= 'Z'; }))
		__builtin_trap();
	return 0;
}
