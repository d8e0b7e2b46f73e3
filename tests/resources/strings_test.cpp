// The string table holds every string the program loads by number, with the
// program's own texts (typos included), and each id once.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>

#include "framework/resources.h"

namespace {

const std::map<unsigned, std::string>& quoted() {
    static const std::map<unsigned, std::string> table = {
        {128, "Brivanta\n\nBrivanta"},
        // commands of the frame and the application
        {57600, "New"}, {32821, "Start"}, {32797, "New photo"}, {32801, "Head import"}, {32792, "Head export"},
        {32795, "Open"}, {32796, "Save"}, {32930, "GIF"}, {32824, "Statistic"}, {33025, "Notes"},
        {32902, "Head preparing"}, {32928, "Full screen"}, {32927, "Dual screen"}, {32779, "Select"},
        {32778, "Zoom"}, {32863, "Rectangle zoom"}, {32864, "Rectangle zoom"}, {32802, "Move"},
        {32780, "Show all"}, {32787, "Line"}, {32932, "Step 1"}, {32789, "Step 2"}, {32823, "Step 3"},
        {32940, "Properties"}, {32800, "Photo export"}, {32807, "Function1"}, {32808, "Function2"},
        {32809, "Function3"}, {32810, "Function4"}, {32811, "Function5"}, {32844, "Function6"},
        {32845, "Function7"}, {32846, "Function8"}, {32847, "Function9"}, {32848, "Function10"},
        {32954, "Z scale"}, {32912, "Brightness / Contrast"}, {32911, "Depth"},
        {32799, "Show points and lines on/off"}, {32812, "Export coin"}, {32942, "Rotate"},
        {32905, "Coloured on/off"}, {32906, "Text settings"}, {57664, "About Brivanta..."},
        {32917, "Tervanik on Web"}, {32918, "Mail to Tervanik"},
        // messages
        {61212, "Too few points on the photo."}, {61213, "Error"},
        {61229, " - right click to skip"}, {61230, " - on left"}, {61231, " - on right"},
        // hints of the icon bars: point page, curve page, model page, start page
        {61232, "Save"}, {61233, "Notes"}, {61234, "Zoom +"}, {61235, "Zoom -"}, {61236, "Fit"},
        {61237, "Pan"}, {61238, "Manual"}, {61239, "Video"}, {61240, "Info"},
        {61241, "Save"}, {61242, "Notes"}, {61243, "Select"}, {61244, "Zoom +"}, {61245, "Zoom -"},
        {61246, "Fit"}, {61247, "Pan"}, {61248, "Manual"}, {61249, "Video"}, {61250, "Info"},
        {61251, "Save"}, {61252, "Notes"}, {61253, "Mirrror Right"}, {61254, "Mirror Left"},
        {61255, "Manual"}, {61256, "Video"}, {61257, "Info"}, {61258, "Zoom +"}, {61259, "Zoom -"},
        {61260, "Fit"}, {61261, "Pan"}, {61272, "Brush - Shift click to select base point"},
        {61273, "Freehand"},
        {61262, "Rotate Left"}, {61263, "Rotate Right"}, {61264, "Horizontal Flip"}, {61265, "Vertcal Flip"},
        {61266, "Notes"}, {61267, "Manual"}, {61268, "Video"}, {61269, "Info"},
        {61270, "Rotate a little left"}, {61271, "Rotate a little right"},
    };
    return table;
}

TEST(StringResources, EveryQuotedIdHasItsText) {
    for (const auto& [id, text] : quoted()) {
        std::string got;
        EXPECT_TRUE(brv::LoadStringText(id, &got)) << id;
        EXPECT_EQ(got, text) << id;
    }
    for (unsigned id = 57616; id <= 57631; ++id) {
        std::string got;
        EXPECT_TRUE(brv::LoadStringText(id, &got)) << id;
        EXPECT_EQ(got, "Open this document") << id;
    }
}

// Read apart from the program's parser: the first number of every line that
// is neither blank nor a comment, each once.
TEST(StringResources, NoIdTwice) {
    std::span<const unsigned char> bytes = brv::ResourceBytes("STRINGTABLE", 1);
    ASSERT_NE(bytes.data(), nullptr);
    std::istringstream in(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    std::string line;
    std::set<unsigned> seen;
    int entries = 0;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        unsigned id;
        if (line.empty() || line[0] == '#' || !(fields >> id)) continue;
        ++entries;
        EXPECT_TRUE(seen.insert(id).second) << "id " << id << " twice";
    }
    EXPECT_EQ(entries, static_cast<int>(quoted().size()) + 16);
    std::map<unsigned, std::string> parsed;
    EXPECT_TRUE(brv::ParseStringTable(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                                      &parsed).empty());
    EXPECT_EQ(parsed.size(), seen.size());
}

}  // namespace
