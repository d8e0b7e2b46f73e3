// Every resource the program asks for is built in: found by type and number,
// and read as what it is, with its size and depth.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "framework/resources.h"
#include "model/featuretables.h"
#include "tests/resources/resource_pictures.h"
#include "tests/support/fakes.h"

namespace {

using respic::Bytes;

enum class Form { Text, Bmp, Jpeg, Ico, Cur, Table };

struct Row {
    const char* type;
    std::vector<unsigned> numbers;
    Form form;
    int width = 0, height = 0, depth = 0;  // pictures; icons: the first image
};

std::vector<unsigned> range(unsigned first, unsigned last) {
    std::vector<unsigned> v;
    for (unsigned n = first; n <= last; ++n) v.push_back(n);
    return v;
}

// The first line that is neither blank nor a comment, up to its third blank.
std::string firstLine(const std::string& text) {
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line.empty() || line[0] == '#') continue;
        size_t blank = line.find(' ', line.find(' ') + 1);
        return line.substr(0, blank);
    }
    return "";
}

std::vector<Row> resourceTable() {
    return {
        {"MENU", {128}, Form::Text},
        {"ACCELERATORS", {128}, Form::Text},
        {"STRINGTABLE", {1}, Form::Text},
        {"DIALOG",
         {133, 171, 179, 181, 182, 194, 232, 233, 244, 245, 301, 308, 309, 311, 312, 313, 314, 315, 327, 328, 329},
         Form::Text},
        {"ICON", {128}, Form::Ico, 32, 32, 24},
        {"ICON", {136, 137, 138, 139}, Form::Ico, 32, 32, 24},
        {"CURSOR", {233}, Form::Cur, 32, 32, 24},
        {"BITMAP", {130}, Form::Bmp, 8, 8, 24},
        {"BITMAP", {153}, Form::Bmp, 440, 16, 24},
        {"BITMAP", {205}, Form::Bmp, 280, 280, 24},
        {"BITMAP", {239, 240, 241, 242}, Form::Bmp, 32, 32, 24},
        {"BITMAP", {312}, Form::Bmp, 150, 150, 24},
        {"BITMAP", range(370, 379), Form::Bmp, 20, 20, 24},
        {"BITMAP", range(380, 388), Form::Bmp, 20, 20, 24},
        {"BITMAP", range(390, 399), Form::Bmp, 20, 20, 24},
        {"BITMAP", range(400, 412), Form::Bmp, 20, 20, 24},
        {"PICFILES", {211, 217, 221, 234, 235, 236}, Form::Bmp, 165, 165, 24},
        {"BACKGROUNDS", {278}, Form::Jpeg, 1024, 1024, 8},
        {"TEMPLATE", {101, 102, 121, 122, 1220, 1221, 1222, 1223, 1228}, Form::Text},
        {"FEATURES", {140, 142, 143, 145, 146, 147, 151, 154, 155, 164}, Form::Table},
    };
}

TEST(ResourceTable, EveryResourceIsFoundAndReadWithItsSizeAndDepth) {
    fakes::Services services;
    resetFeatureTables();
    int checked = 0;
    for (const Row& row : resourceTable()) {
        for (unsigned n : row.numbers) {
            SCOPED_TRACE(std::string(row.type) + " " + std::to_string(n));
            std::span<const unsigned char> bytes = Bytes(row.type, n);
            ASSERT_NE(bytes.data(), nullptr);
            ASSERT_GT(bytes.size(), 0u);
            ++checked;
            switch (row.form) {
            case Form::Text: {
                std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
                EXPECT_EQ(text.find('\0'), std::string::npos);
                if (std::string(row.type) == "DIALOG") {
                    EXPECT_EQ(firstLine(text), "dialog " + std::to_string(n));
                }
                break;
            }
            case Form::Table:
                EXPECT_NE(featureTable(static_cast<int>(n)), nullptr);
                break;
            case Form::Bmp: {
                EXPECT_EQ(respic::BmpDepth(bytes), row.depth);
                respic::Picture p = respic::Decode(bytes);
                EXPECT_EQ(p.width, row.width);
                EXPECT_EQ(p.height, row.height);
                break;
            }
            case Form::Jpeg: {
                ASSERT_GE(bytes.size(), 4u);
                EXPECT_TRUE(bytes[0] == 0xFF && bytes[1] == 0xD8);
                respic::Picture p = respic::Decode(bytes);
                EXPECT_EQ(p.width, row.width);
                EXPECT_EQ(p.height, row.height);
                // one grey channel: every pixel has r = g = b
                EXPECT_TRUE(std::all_of(p.px.begin(), p.px.end(),
                                        [](const respic::Rgb& c) { return c.r == c.g && c.g == c.b; }));
                break;
            }
            case Form::Ico:
            case Form::Cur: {
                auto images = respic::ReadIconFile(bytes, row.form == Form::Ico ? 1 : 2);
                ASSERT_FALSE(images.empty());
                EXPECT_EQ(images[0].width, row.width);
                EXPECT_EQ(images[0].height, row.height);
                break;
            }
            }
        }
    }
    EXPECT_EQ(checked, 106);
    resetFeatureTables();
}

}  // namespace
