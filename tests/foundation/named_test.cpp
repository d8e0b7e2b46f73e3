#include "foundation/named.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "foundation/pools.h"

using fnd::commonchain_of_named_instance;
using fnd::fileTB;
using fnd::named_class;
using fnd::named_instance;

namespace {

struct Region : named_instance {
    Region() : named_instance("Region", true) {}
    int v = 0;
};

struct Plain : named_class {};

std::string written(const char* mode, const std::function<void(fileTB&)>& body) {
    std::string path = testing::TempDir() + "named_" + testing::UnitTest::GetInstance()->current_test_info()->name() +
                       "_" + std::to_string(getpid());
    {
        fileTB f;
        EXPECT_TRUE(f.open(path.c_str(), mode));
        body(f);
        EXPECT_TRUE(f.good());
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    return bytes;
}

struct Reader {
    explicit Reader(const std::string& s) : bytes(s.begin(), s.end()) { f.open(bytes.data(), bytes.size()); }
    std::vector<unsigned char> bytes;
    fileTB f;
};

class Named : public testing::Test {
protected:
    void SetUp() override { fnd::resetPools(); }
    void TearDown() override { fnd::resetPools(); }
};

}  // namespace

TEST_F(Named, ClassLinesInText) {
    Plain p;
    named_instance n("ignored", false);
    n.set_name("color_of_skin", false);
    std::string s = written("wt", [&](fileTB& f) {
        fnd::NamedClass.write_pieceof_class(f, 8, "Vertex");
        p.write_class(f, "BasicArea");
        p.write_indexed_class(f, 5, "Vertex");
        n.write_indexed_class(f, 6, "Region");
        n.write_nameof_instance(f, "FeatureColor");
        named_instance cube("cube", false);
        cube.write_pure_nameof_instance(f, "AllOfEditedData3D");
    });
    EXPECT_EQ(s,
              "8 \tof::Vertex "
              "th::BasicArea "
              "5 th::Vertex "
              "6 \tth::Region "
              "th::FeatureColor::color_of_skin "
              "AllOfEditedData3D::cube ");
}

TEST_F(Named, ClassLinesReadBack) {
    Reader r("8 \tof::Vertex 6 \tth::Region th::FeatureColor::color_of_skin AllOfEditedData3D::cube th::X ");
    EXPECT_EQ(fnd::NamedClass.read_pieceof_class(r.f), 8);
    EXPECT_STREQ(named_class::str, "of::Vertex");
    named_instance n;
    EXPECT_EQ(n.read_indexed_class(r.f), 6);
    EXPECT_STREQ(named_instance::str, "th::Region");
    n.read_nameof_instance(r.f, "FeatureColor");
    EXPECT_STREQ(n.name(), "color_of_skin");
    n.read_pure_nameof_instance(r.f, "AllOfEditedData3D");
    EXPECT_STREQ(n.name(), "cube");
    n.read_nameof_instance(r.f, "FeatureColor");
    EXPECT_STREQ(n.name(), "") << "a token shorter than the skipped part";
    EXPECT_TRUE(r.f.good());
}

TEST_F(Named, BinaryRecordsRoundTrip) {
    named_instance n("left eye corner", false);
    std::string s = written("wb", [&](fileTB& f) {
        fnd::NamedClass.write_pieceof_class(f, 3, "Region");
        n.write_nameof_instance(f, "Region");
    });
    std::string want = std::string("\x03\0\0\0", 4) + "of::Region" + '\0' + "th::Region::left eye corner" + '\0';
    EXPECT_EQ(s, want);
    Reader r("\n" + s);
    r.f.setMode("b");
    EXPECT_EQ(fnd::NamedClass.read_pieceof_class(r.f), 3);
    named_instance back;
    back.read_nameof_instance(r.f, "Region");
    EXPECT_TRUE(r.f.good());
    EXPECT_STREQ(back.name(), "left eye corner");
}

// Every name that can be set (at most nameLimit - 1 characters) is written
// and read back whole, in both line forms and both modes.
TEST_F(Named, LongestNamesReadBack) {
    for (const char* mode : {"wt", "wb"})
        for (const char* word : {"Region", "FeatureColor", "AllOfEditedData3D"})
            for (int length : {1, 981, 982, 990, 998, 999, 1000, 1300})
                for (bool pure : {false, true}) {
                    named_instance n(std::string(length, 'k').c_str(), false);
                    const std::size_t expected = std::min(length, named_instance::nameLimit - 1);
                    ASSERT_EQ(std::strlen(n.name()), expected);
                    std::string s = written(mode, [&](fileTB& f) {
                        if (pure)
                            n.write_pure_nameof_instance(f, word);
                        else
                            n.write_nameof_instance(f, word);
                        int after = 7;
                        f << after;
                    });
                    Reader r(mode[1] == 't' ? s : "\n" + s);
                    if (mode[1] == 'b') r.f.setMode("b");
                    named_instance back("before", false);
                    if (pure)
                        back.read_pure_nameof_instance(r.f, word);
                    else
                        back.read_nameof_instance(r.f, word);
                    int after = 0;
                    r.f >> after;
                    SCOPED_TRACE(std::string(mode) + " " + word + " " + std::to_string(length) + (pure ? " pure" : ""));
                    EXPECT_TRUE(r.f.good());
                    EXPECT_STREQ(back.name(), n.name());
                    EXPECT_EQ(after, 7);
                }
}

TEST_F(Named, OverlongNameTokenFailsAndKeepsTheName) {
    named_instance n("kept", false);
    Reader r("th::Region::" + std::string(1500, 'n') + " ");
    n.read_nameof_instance(r.f, "Region");
    EXPECT_FALSE(r.f.good());
    EXPECT_STREQ(n.name(), "kept");
    Reader c(std::string(2000, 'c') + " ");
    fnd::NamedClass.read_class(c.f);
    EXPECT_FALSE(c.f.good());
    EXPECT_EQ(std::strlen(named_class::str), 1023u);
}

TEST_F(Named, CommentModeReadsNothing) {
    named_instance n("kept", false);
    Reader r("th::Region::other ");
    r.f.setCommentMode(true);
    n.read_nameof_instance(r.f, "Region");
    EXPECT_STREQ(n.name(), "kept");
}

TEST_F(Named, NamesAndCopies) {
    Region a;
    EXPECT_STREQ(a.name(), "default_name_of_Region");
    named_instance empty;
    EXPECT_STREQ(empty.name(), "");
    a.set_name("nose", false);
    Region b;
    b = a;
    a.set_name("chin", false);
    EXPECT_STREQ(b.name(), "nose");
    a.set_name(a.name(), true);
    EXPECT_STREQ(a.name(), "default_name_of_chin");
    Region c(std::move(a));
    EXPECT_STREQ(c.name(), "default_name_of_chin");
    EXPECT_STREQ(a.name(), "");
    named_instance longName(std::string(5000, 'z').c_str(), true);
    EXPECT_EQ(std::strlen(longName.name()), 999u);
    EXPECT_EQ(std::string(longName.name()).substr(0, 16), "default_name_of_");
}

TEST_F(Named, LookupByName) {
    commonchain_of_named_instance<Region> regions;
    EXPECT_EQ(regions.get("nose"), -1);
    EXPECT_EQ(regions.get(""), -1);
    int nose = regions.add_new("nose");
    int blank = regions.add_new("");
    EXPECT_STREQ(regions[blank].name(), "");
    EXPECT_EQ(regions.add_ifnew(""), blank);
    // A duplicate put at the front of the chain is found first.
    int front = regions.insert_after_whichindex(-2, -1);
    regions[front].set_name("nose", false);
    EXPECT_EQ(regions.get("nose"), front);
    EXPECT_EQ(regions.add_ifnew("nose"), front);
    EXPECT_TRUE(regions.name_is(nose, "nose"));
    EXPECT_FALSE(regions.name_is(nose, "Nose"));
    EXPECT_EQ(regions.get("Nose"), -1);
    int chin = regions.add_ifnew("chin");
    EXPECT_EQ(regions.count(), 4);
    EXPECT_EQ(regions.last(), chin);
}

TEST_F(Named, AddNewWithANameFromTheSamePool) {
    commonchain_of_named_instance<Region> regions;
    for (int k = 0; k < 11; ++k) regions.add_new(("region_" + std::to_string(k)).c_str());
    ASSERT_EQ(fnd::commonchain<Region>::commonbas().size(), 11);
    int s = regions.add_new(regions[4].name());  // the pool grows under the name
    EXPECT_STREQ(regions[s].name(), "region_4");
}

TEST_F(Named, FreedElementReturnsToItsDefaultName) {
    commonchain_of_named_instance<Region> regions;
    int s = regions.add_new("temple");
    regions.remove_index(s);
    EXPECT_STREQ(fnd::commonchain<Region>::commonbas().tag(s).value.name(), "default_name_of_Region");
}
