#include "picture/metafiledecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "picture/metafile_player.h"
#include "picture/textexception.h"
#include "tests/picture/picture_magick.h"

namespace {

using magick::Bytes;

void Put16(Bytes &b, int v)
{
	b.push_back((uint8_t)v);
	b.push_back((uint8_t)(v >> 8));
}
void Put32(Bytes &b, uint32_t v)
{
	Put16(b, (int)(v & 0xFFFF));
	Put16(b, (int)(v >> 16));
}

// A packed DIB of 2 x 2 pixels at 24 bits: top row red, green; bottom row
// blue, white.
Bytes TinyDib()
{
	Bytes d;
	Put32(d, 40);
	Put32(d, 2);
	Put32(d, 2);
	Put16(d, 1);
	Put16(d, 24);
	for (int i = 0; i < 6; ++i)
		Put32(d, 0);
	// rows bottom-up, 8 bytes each (BGR BGR + 2 padding)
	d.insert(d.end(), {255, 0, 0, 255, 255, 255, 0, 0});
	d.insert(d.end(), {0, 0, 255, 0, 255, 0, 0, 0});
	return d;
}

class WmfWriter
{
public:
	// with a placeable header of that box and units per inch
	WmfWriter(int left, int top, int right, int bottom, int inch)
	{
		Put32(data, 0x9AC6CDD7);
		Put16(data, 0);
		for (int v : {left, top, right, bottom, inch})
			Put16(data, v);
		Put32(data, 0);
		Put16(data, 0);
		Header();
	}
	WmfWriter() { Header(); }
	void Record(int function, std::initializer_list<int> words, const Bytes &tail = {})
	{
		Put32(data, (uint32_t)(3 + words.size() + tail.size() / 2));
		Put16(data, function);
		for (int w : words)
			Put16(data, w);
		data.insert(data.end(), tail.begin(), tail.end());
	}
	void Brush(uint32_t colour) { Record(0x02FC, {0, (int)(colour & 0xFFFF), (int)(colour >> 16), 0}); }
	void Pen(int style, int width, uint32_t colour) { Record(0x02FA, {style, width, 0, (int)(colour & 0xFFFF), (int)(colour >> 16)}); }
	Bytes Finish()
	{
		Record(0, {});
		return data;
	}
	Bytes data;

private:
	void Header()
	{
		Put16(data, 1);
		Put16(data, 9);
		Put16(data, 0x300);
		Put32(data, 0);
		Put16(data, 8);   // objects
		Put32(data, 0);
		Put16(data, 0);
	}
};

const uint32_t red = 0x0000FF, green = 0x00FF00, blue = 0xFF0000, black = 0;

CWinBmp Decode(const Bytes &data, const char *extension)
{
	std::string path = magick::TempPath(std::string("mf") + extension);
	magick::WriteFile(path, data);
	CWinBmp bmp;
	magick::DecodeFile(path, bmp);
	std::remove(path.c_str());
	return bmp;
}

int DecodeErrorAs(const Bytes &data, const char *extension)
{
	try {
		Decode(data, extension);
	}
	catch (const CTextException &e) {
		return e.GetErrorCode();
	}
	return 0;
}

const CPixel32 White(255, 255, 255, 255), Red(255, 0, 0, 255), Green(0, 255, 0, 255), Blue(0, 0, 255, 255),
    Black(0, 0, 0, 255);

TEST(MetafileDecoder, PlaceableWmfShapesAndObjects)
{
	WmfWriter w(0, 0, 200, 100, 96);
	w.Record(0x020B, {0, 0});     // window origin
	w.Record(0x020C, {100, 200});  // window extent: height, width
	w.Pen(5, 0, 0);                // null pen: slot 0
	w.Record(0x012D, {0});
	w.Brush(red);                  // slot 1
	w.Record(0x012D, {1});
	w.Record(0x041B, {40, 50, 10, 10});   // rectangle 10,10 - 50,40
	w.Record(0x01F0, {1});                // delete the red brush ...
	w.Brush(blue);                        // ... and its slot is taken again
	w.Record(0x012D, {1});
	w.Record(0x0418, {90, 190, 60, 110});   // ellipse 110,60 - 190,90
	w.Brush(green);                         // slot 2
	w.Record(0x012D, {2});
	w.Record(0x0324, {3, 60, 10, 100, 10, 80, 50});   // triangle
	w.Pen(0, 1, black);                               // slot 3
	w.Record(0x012D, {3});
	w.Record(0x0214, {95, 0});    // move to 0,95
	w.Record(0x0213, {95, 199});  // line to 199,95
	CWinBmp bmp = Decode(w.Finish(), ".wmf");
	ASSERT_EQ(bmp.GetWidth(), 200);
	ASSERT_EQ(bmp.GetHeight(), 100);
	EXPECT_EQ(bmp.GetPixel(30, 25), Red);
	EXPECT_EQ(bmp.GetPixel(5, 5), White);
	EXPECT_EQ(bmp.GetPixel(55, 25), White);
	EXPECT_EQ(bmp.GetPixel(150, 75), Blue);
	EXPECT_EQ(bmp.GetPixel(112, 62), White);   // outside the ellipse, inside its box
	EXPECT_EQ(bmp.GetPixel(80, 20), Green);
	EXPECT_EQ(bmp.GetPixel(100, 95), Black);
	EXPECT_EQ(bmp.GetPixel(100, 93), White);
}

TEST(MetafileDecoder, WindowIsScaledOntoThePicture)
{
	// 1440 units an inch: 1000 units are 66 pixels
	WmfWriter w(0, 0, 1000, 500, 1440);
	w.Record(0x020C, {500, 1000});
	w.Brush(red);
	w.Record(0x012D, {0});
	w.Record(0x041B, {500, 500, 0, 0});   // the left half
	CWinBmp bmp = Decode(w.Finish(), ".wmf");
	ASSERT_EQ(bmp.GetWidth(), 66);
	ASSERT_EQ(bmp.GetHeight(), 33);
	EXPECT_EQ(bmp.GetPixel(10, 20), Red);
	EXPECT_EQ(bmp.GetPixel(50, 20), White);
}

TEST(MetafileDecoder, WmfWithoutSizeIsDrawnAt320By200)
{
	for (auto [inch, size] : {std::pair{0, 100}, std::pair{96, 0}}) {
		WmfWriter w(0, 0, size, size, inch);
		w.Brush(red);
		w.Record(0x012D, {0});
		w.Record(0x041B, {1, 1, 0, 0});
		CWinBmp bmp = Decode(w.Finish(), ".wmf");
		EXPECT_EQ(bmp.GetWidth(), 320);
		EXPECT_EQ(bmp.GetHeight(), 200);
	}
	// a plain WMF: its first window gives the size
	WmfWriter plain;
	plain.Record(0x020C, {30, 40});
	plain.Brush(green);
	plain.Record(0x012D, {0});
	plain.Record(0x041B, {30, 40, 0, 0});
	CWinBmp bmp = Decode(plain.Finish(), ".WMF");
	EXPECT_EQ(bmp.GetWidth(), 40);
	EXPECT_EQ(bmp.GetHeight(), 30);
	EXPECT_EQ(bmp.GetPixel(20, 15), Green);
}

TEST(MetafileDecoder, WmfBitmapRecordsStretchTheirDib)
{
	WmfWriter w(0, 0, 40, 40, 96);
	w.Record(0x020C, {40, 40});
	// stretch DIB: rop, usage, source h, w, y, x, destination h, w, y, x
	w.Record(0x0F43, {0x0020, 0x00CC, 0, 2, 2, 0, 0, 20, 20, 0, 0}, TinyDib());
	// DIB stretch blit of the bottom row into 20,20 - 40,40
	w.Record(0x0B41, {0x0020, 0x00CC, 1, 2, 1, 0, 20, 20, 20, 20}, TinyDib());
	CWinBmp bmp = Decode(w.Finish(), ".wmf");
	EXPECT_EQ(bmp.GetPixel(4, 4), Red);
	EXPECT_EQ(bmp.GetPixel(15, 4), Green);
	EXPECT_EQ(bmp.GetPixel(4, 15), Blue);
	EXPECT_EQ(bmp.GetPixel(15, 15), White);
	EXPECT_EQ(bmp.GetPixel(24, 30), Blue);
	EXPECT_EQ(bmp.GetPixel(35, 30), White);
	EXPECT_EQ(bmp.GetPixel(30, 10), White);
}

class EmfWriter
{
public:
	// 4 reference pixels a millimetre; the frame covers width x height pixels
	EmfWriter(int width, int height)
	{
		Bytes h;
		Put32(h, 1);
		Put32(h, 88);
		for (int v : {0, 0, width - 1, height - 1})
			Put32(h, (uint32_t)v);
		for (int v : {0, 0, width * 25, height * 25})
			Put32(h, (uint32_t)v);
		Put32(h, 0x464D4520);
		Put32(h, 0x10000);
		Put32(h, 0);   // bytes, patched below
		Put32(h, 0);   // records
		Put16(h, 8);   // handles
		Put16(h, 0);
		Put32(h, 0);
		Put32(h, 0);
		Put32(h, 0);
		for (int v : {400, 200, 100, 50})
			Put32(h, (uint32_t)v);
		data = h;
	}
	void Record(uint32_t type, std::initializer_list<uint32_t> values, const Bytes &tail = {})
	{
		Put32(data, type);
		Put32(data, (uint32_t)(8 + 4 * values.size() + tail.size()));
		for (uint32_t v : values)
			Put32(data, v);
		data.insert(data.end(), tail.begin(), tail.end());
	}
	Bytes Finish()
	{
		Record(14, {0, 16, 20});
		return data;
	}
	Bytes data;
};

TEST(MetafileDecoder, EmfShapesMappingAndBitmaps)
{
	EmfWriter e(100, 50);
	e.Record(37, {0x80000008});          // stock null pen
	e.Record(39, {1, 0, red, 0});        // brush in handle 1
	e.Record(37, {1});
	e.Record(43, {10, 10, 30, 30});      // rectangle
	e.Record(39, {2, 0, blue, 0});
	e.Record(37, {2});
	e.Record(42, {60, 5, 90, 45});       // ellipse
	e.Record(40, {1});
	e.Record(37, {0x80000004});          // stock black brush
	Bytes poly;
	for (int v : {35, 40, 55, 40, 45, 48})
		Put16(poly, v);
	e.Record(86, {0, 0, 0, 0, 3}, poly);   // polygon16
	e.Record(38, {3, 0, 3, 0, green});     // green pen, 3 wide
	e.Record(37, {3});
	e.Record(27, {0, 2});
	e.Record(54, {99, 2});
	// stretch DIB bits of the 2 x 2 DIB into 40,10 - 50,20
	Bytes dib = TinyDib();
	Bytes head(dib.begin(), dib.begin() + 40), bits(dib.begin() + 40, dib.end());
	head.insert(head.end(), bits.begin(), bits.end());
	e.Record(81, {0, 0, 0, 0, 40, 10, 0, 0, 2, 2, 80, 40, 120, 16, 0, 0x00CC0020, 10, 10}, head);
	// anisotropic mapping: logical 0..10 onto 70..100 pixels of width
	e.Record(17, {8});
	e.Record(9, {10, 10});
	e.Record(11, {30, 30});
	e.Record(12, {70, 0});
	e.Record(37, {0x80000008});
	e.Record(43, {0, 8, 10, 10});   // 70,24 - 100,30
	CWinBmp bmp = Decode(e.Finish(), ".emf");
	ASSERT_EQ(bmp.GetWidth(), 100);
	ASSERT_EQ(bmp.GetHeight(), 50);
	EXPECT_EQ(bmp.GetPixel(20, 20), Red);
	EXPECT_EQ(bmp.GetPixel(75, 25), Black);   // the black rectangle over the blue ellipse
	EXPECT_EQ(bmp.GetPixel(75, 35), Blue);
	EXPECT_EQ(bmp.GetPixel(62, 7), White);
	EXPECT_EQ(bmp.GetPixel(45, 42), Black);
	EXPECT_EQ(bmp.GetPixel(50, 2), Green);
	EXPECT_EQ(bmp.GetPixel(50, 3), Green);
	EXPECT_EQ(bmp.GetPixel(50, 5), White);
	EXPECT_EQ(bmp.GetPixel(42, 12), Red);
	EXPECT_EQ(bmp.GetPixel(47, 17), White);
	EXPECT_EQ(bmp.GetPixel(42, 17), Blue);
}

TEST(MetafileDecoder, BadOrEmptyMetafilesFail)
{
	WmfWriter nothing(0, 0, 10, 10, 96);
	nothing.Record(0x020C, {10, 10});
	WmfWriter huge(0, 0, 30000, 30000, 10);
	huge.Brush(red);
	huge.Record(0x012D, {0});
	huge.Record(0x041B, {1, 1, 0, 0});
	EmfWriter emptyEmf(10, 10);
	Bytes shortEmf = EmfWriter(10, 10).data;
	shortEmf.resize(60);
	shortEmf[4] = 60;
	const std::tuple<const char *, Bytes, const char *, int> cases[] = {
	    {"nothing drawn", nothing.Finish(), ".wmf", 6},
	    {"no metafile", Bytes(100, 0x33), ".wmf", 6},
	    {"EMF without drawing", emptyEmf.Finish(), ".emf", 6},
	    {"EMF header cut short", shortEmf, ".emf", 2},
	    {"no EMF signature", Bytes(200, 1), ".emf", 6},
	    {"picture too large", huge.Finish(), ".wmf", 10},
	};
	for (const auto &[name, data, ext, code] : cases) {
		SCOPED_TRACE(name);
		EXPECT_EQ(DecodeErrorAs(data, ext), code);
	}
}

TEST(MetafileDecoder, RecordsThatLieAboutTheirSizeAreCutOff)
{
	WmfWriter w(0, 0, 50, 50, 96);
	w.Brush(red);
	w.Record(0x012D, {0});
	w.Record(0x0324, {30000, 0, 0, 40, 0, 40, 40});   // 30000 points promised, 3 given
	w.Record(0x0538, {2, 3, 60000, 0, 0, 10, 0, 10, 10});
	w.Record(0x0F43, {0x0020, 0x00CC, 0, 500, 500, 0, 0, 20, 20, 0, 0}, Bytes(44, 0x28));
	Bytes data = w.Finish();
	Put32(data, 0x7FFFFFFF);   // a record past the end
	Put16(data, 0x041B);
	CWinBmp bmp = Decode(data, ".wmf");
	EXPECT_EQ(bmp.GetPixel(30, 5), Red);
}

} // namespace

namespace {

TEST(MetafileDecoder, CoordinatesFarOutsideThePictureAreClipped)
{
	EmfWriter e(40, 30);
	e.Record(39, {1, 0, 0x0000FF, 0});
	e.Record(37, {1});
	e.Record(38, {2, 0, 9, 0, 0});   // a wide black pen
	e.Record(37, {2});
	e.Record(43, {0x80000001u, 0x80000001u, 0x7FFFFFFF, 0x7FFFFFFF});
	e.Record(42, {0x90000000u, 10, 0x70000000, 20});
	e.Record(27, {0x80000000u, 5});
	e.Record(54, {0x7FFFFFFF, 5});
	CWinBmp bmp = Decode(e.Finish(), ".emf");
	ASSERT_EQ(bmp.GetWidth(), 40);
	EXPECT_EQ(bmp.GetPixel(20, 25), Red);
	EXPECT_EQ(bmp.GetPixel(20, 5), Black);
}

} // namespace

namespace {

struct Vertex {
	double x, y;
};

// The winding number of the point about the rings, by summing the angles
// each edge turns through (independent of the decoder's scan lines).
int WindingNumber(const std::vector<std::vector<Vertex>> &rings, double px, double py)
{
	double turn = 0;
	for (const auto &r : rings)
		for (size_t i = 0; i < r.size(); ++i) {
			const Vertex &a = r[i], &b = r[(i + 1) % r.size()];
			turn += std::atan2((a.x - px) * (b.y - py) - (a.y - py) * (b.x - px),
			                   (a.x - px) * (b.x - px) + (a.y - py) * (b.y - py));
		}
	return (int)std::lround(turn / (2 * M_PI));
}

// How far the point lies from the nearest edge.
double EdgeDistance(const std::vector<std::vector<Vertex>> &rings, double px, double py)
{
	double best = 1e300;
	for (const auto &r : rings)
		for (size_t i = 0; i < r.size(); ++i) {
			const Vertex &a = r[i], &b = r[(i + 1) % r.size()];
			const double dx = b.x - a.x, dy = b.y - a.y;
			double t = ((px - a.x) * dx + (py - a.y) * dy) / (dx * dx + dy * dy);
			t = std::clamp(t, 0.0, 1.0);
			best = std::min(best, std::hypot(a.x + t * dx - px, a.y + t * dy - py));
		}
	return best;
}

} // namespace

// Filled polygons cover the pixels whose centres lie inside, by the fill
// mode's rule: a star whose middle the even-odd rule leaves out, rings with
// a hole, a ring of many points, one reaching past the picture.
TEST(MetafileDecoder, PolygonsCoverThePixelsWhoseCentresLieInside)
{
	std::vector<Vertex> star, many;
	for (int i = 0; i < 5; ++i) {
		const double a = -M_PI / 2 + i * 4 * M_PI / 5;
		star.push_back({40 + 35 * std::cos(a), 40 + 35 * std::sin(a)});
	}
	for (int i = 0; i < 600; ++i) {
		const double a = 2 * M_PI * i / 600, r = 25 + 10 * std::sin(7 * a);
		many.push_back({std::round(40 + r * std::cos(a)), std::round(40 + r * std::sin(a))});
	}
	for (Vertex &v : star)
		v = {std::round(v.x), std::round(v.y)};
	const std::vector<Vertex> outer = {{5, 5}, {75, 5}, {75, 75}, {5, 75}};
	const std::vector<Vertex> inner = {{20, 20}, {20, 60}, {60, 60}, {60, 20}};   // turned the other way
	const std::vector<Vertex> inner2 = {{20, 20}, {60, 20}, {60, 60}, {20, 60}};   // turned the same way
	struct Case {
		const char *name;
		std::vector<std::vector<Vertex>> rings;
		bool winding;
	} cases[] = {
	    {"star, even-odd", {star}, false},
	    {"star, winding", {star}, true},
	    {"hole turned back, winding", {outer, inner}, true},
	    {"hole turned the same way, even-odd", {outer, inner2}, false},
	    {"hole turned the same way, winding", {outer, inner2}, true},
	    {"600 points", {many}, false},
	    {"past the picture", {{{-30, 10}, {120, 30}, {40, 110}}}, false},
	};
	for (const Case &c : cases) {
		SCOPED_TRACE(c.name);
		EmfWriter e(80, 80);
		e.Record(37, {0x80000008});   // stock null pen
		e.Record(39, {1, 0, red, 0});
		e.Record(37, {1});
		e.Record(19, {c.winding ? 2u : 1u});
		Bytes tail;
		size_t points = 0;
		for (const auto &r : c.rings) {
			Put32(tail, (uint32_t)r.size());
			points += r.size();
		}
		for (const auto &r : c.rings)
			for (const Vertex &v : r) {
				Put16(tail, (int)v.x);
				Put16(tail, (int)v.y);
			}
		e.Record(91, {0, 0, 0, 0, (uint32_t)c.rings.size(), (uint32_t)points}, tail);   // polypolygon16
		CWinBmp bmp = Decode(e.Finish(), ".emf");
		ASSERT_EQ(bmp.GetWidth(), 80);
		ASSERT_EQ(bmp.GetHeight(), 80);
		int checked = 0, wrong = 0;
		for (int y = 0; y < 80; ++y)
			for (int x = 0; x < 80; ++x) {
				if (EdgeDistance(c.rings, x + 0.5, y + 0.5) < 0.01)
					continue;
				const int n = WindingNumber(c.rings, x + 0.5, y + 0.5);
				const bool inside = c.winding ? n != 0 : (n & 1) != 0;
				++checked;
				if (bmp.GetPixel(x, y) != (inside ? Red : White) && ++wrong <= 5)
					ADD_FAILURE() << x << "," << y << " winding " << n;
			}
		EXPECT_GT(checked, 6000);
		EXPECT_EQ(wrong, 0);
	}
}

// A small file of many shapes that each cover the picture can't keep the
// decoder drawing without end: past sixteen times the picture's pixels (and
// a few million besides) the picture is refused; a picture drawn over a few
// times still decodes.
TEST(MetafileDecoder, MetafilesThatDrawFarMoreThanThePictureAreRefused)
{
	auto covered = [](int times) {
		EmfWriter e(2000, 1000);
		e.Record(37, {0x80000008});
		e.Record(39, {1, 0, red, 0});
		e.Record(37, {1});
		for (int i = 0; i < times; ++i)
			e.Record(43, {0, 0, 1999, 999});
		return e.Finish();
	};
	CWinBmp bmp = Decode(covered(8), ".emf");
	ASSERT_EQ(bmp.GetWidth(), 2000);
	EXPECT_EQ(bmp.GetPixel(1000, 500), Red);
	// 2000 x 1000 x 16 + 2^24: about 24 coverings; 60 take a file of 1.6 KB.
	EXPECT_EQ(DecodeErrorAs(covered(60), ".emf"), PL_ERR_FORMAT);
}
