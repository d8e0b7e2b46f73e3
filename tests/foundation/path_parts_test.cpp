#include "foundation/path_parts.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

struct PathCase {
    const char* path;
    const char* folder;
    const char* base;
    const char* extension;
    const char* withoutExtension;
};

TEST(SplitPath, TakesFolderBaseAndExtensionApart) {
    const PathCase cases[] = {
        {"/tmp/work/astro.fac", "/tmp/work/", "astro", "fac", "/tmp/work/astro"},
        {"C:\\Heads\\Astro.FAC", "C:\\Heads\\", "Astro", "FAC", "C:\\Heads\\Astro"},
        {"/mixed\\dir/name.tar.gz", "/mixed\\dir/", "name.tar", "gz", "/mixed\\dir/name.tar"},
        {"/a.b/noext", "/a.b/", "noext", "", "/a.b/noext"},
        {"c:\\v1.2\\head", "c:\\v1.2\\", "head", "", "c:\\v1.2\\head"},
        {"plain.bmp", "", "plain", "bmp", "plain"},
        {"plain", "", "plain", "", "plain"},
        {"trailing.", "", "trailing", "", "trailing"},
        {"/x/.hidden", "/x/", "", "hidden", "/x/"},
        {"/only/folder/", "/only/folder/", "", "", "/only/folder/"},
        {"", "", "", "", ""},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.path);
        const fnd::PathParts parts = fnd::SplitPath(c.path);
        EXPECT_EQ(parts.folder, c.folder);
        EXPECT_EQ(parts.base, c.base);
        EXPECT_EQ(parts.extension, c.extension);
        EXPECT_EQ(parts.WithoutExtension(), c.withoutExtension);
        // Put back together, the parts are the path.
        const bool dotted = std::string_view(c.path).substr(parts.folder.size()).find('.') != std::string_view::npos;
        EXPECT_EQ(parts.folder + parts.base + (dotted ? "." + parts.extension : std::string()), c.path);
    }
}

TEST(SplitPath, LowerExtensionKeepsTheWrittenOne) {
    const fnd::PathParts parts = fnd::SplitPath("/p/Head.ObJ");
    EXPECT_EQ(parts.LowerExtension(), "obj");
    EXPECT_EQ(parts.extension, "ObJ");
}

}  // namespace
