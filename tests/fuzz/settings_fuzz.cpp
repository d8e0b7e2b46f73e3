// settings.ini as the program reads it: every reader over the bytes, then a
// value of any content written and read back unchanged.
#include <stdlib.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "framework/settings.h"

namespace {

std::string settingsFile;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
	// A folder of its own, so that no real settings are touched.
	const char *tmp = getenv("TMPDIR");
	std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/settings_fuzz_XXXXXX";
	if (!mkdtemp(folder.data()))
		abort();
	setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
	mkdir((folder + "/brivanta").c_str(), 0700);
	settingsFile = brv::SettingsPath();
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	if (FILE *f = fopen(settingsFile.c_str(), "wb")) {
		fwrite(data, 1, size, f);
		fclose(f);
	}
	(void)GetProfileInt("Settings", "Count", 0);
	(void)GetProfileString("Settings", "Language", "");
	brv::RecentFileList recent;
	recent.ReadList();
	for (int i = 0; i < recent.GetCount(); ++i)
		(void)recent[i];
	char value[255];
	(void)GetPreferenceString("Settings:Count", value);
	// Half of the input as a value: it comes back as it went.
	const std::string text(reinterpret_cast<const char *>(data) + size / 2, size - size / 2);
	if (text.find('\0') == std::string::npos && WriteProfileString("Fuzz", "Value", text.c_str()) &&
	    GetProfileString("Fuzz", "Value", "").View() != text)
		__builtin_trap();
	return 0;
}
