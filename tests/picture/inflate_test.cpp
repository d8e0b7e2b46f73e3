#include "picture/inflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "picture/png.h"

namespace {

using Bytes = std::vector<uint8_t>;

class Collector : public YsGenericPngDecoder
{
public:
	int Output(unsigned char c) override
	{
		out.push_back(c);
		return 1;
	}
	Bytes out;
};

struct InflateResult
{
	int rc;
	Bytes out;
};

InflateResult Inflate(const Bytes &z)
{
	Collector c;
	YsPngUncompressor u(&c);
	int rc = u.Uncompress(z.size(), z.data());
	return {rc, c.out};
}

// Text with repeats near and far, random bytes and long runs, so that every
// kind of block and distance shows up; longer than the 32 KiB window.
Bytes SampleData()
{
	Bytes d;
	uint32_t seed = 12345;
	auto rnd = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
	const std::string words[] = {"head ", "photo ", "texture ", "vertex ", "triangle ", "feature ", "line "};
	while (d.size() < 30000) {
		const std::string &w = words[rnd() % 7];
		d.insert(d.end(), w.begin(), w.end());
	}
	for (int i = 0; i < 6000; ++i)
		d.push_back((uint8_t)rnd());
	d.insert(d.end(), 3000, 0);
	Bytes early(d.begin() + 100, d.begin() + 20000);
	d.insert(d.end(), early.begin(), early.end());
	for (int i = 0; i < 9000; ++i)
		d.push_back((uint8_t)(i % 251 + (rnd() % 3)));
	return d;
}

struct DeflateParams
{
	int level = 6, windowBits = 15, memLevel = 8, strategy = Z_DEFAULT_STRATEGY;
	int flushEvery = 0, flush = Z_NO_FLUSH;
};

Bytes Deflate(const Bytes &in, const DeflateParams &p)
{
	z_stream s{};
	EXPECT_EQ(deflateInit2(&s, p.level, Z_DEFLATED, p.windowBits, p.memLevel, p.strategy), Z_OK);
	Bytes out(deflateBound(&s, in.size()) + in.size() / 10 + 1024);
	s.next_out = out.data();
	s.avail_out = (uInt)out.size();
	size_t pos = 0;
	int step = p.flushEvery ? p.flushEvery : (int)in.size();
	while (pos < in.size()) {
		size_t n = std::min((size_t)step, in.size() - pos);
		s.next_in = const_cast<Bytef *>(in.data() + pos);
		s.avail_in = (uInt)n;
		pos += n;
		EXPECT_NE(deflate(&s, pos < in.size() ? p.flush : Z_FINISH), Z_STREAM_ERROR);
	}
	while (deflate(&s, Z_FINISH) == Z_OK) {
	}
	out.resize(s.total_out);
	deflateEnd(&s);
	return out;
}

// zlib's own output for a (possibly cut) stream, as far as it gets.
Bytes ZlibInflate(const Bytes &z, size_t limit)
{
	z_stream s{};
	inflateInit(&s);
	Bytes out(limit + 1024);
	s.next_in = const_cast<Bytef *>(z.data());
	s.avail_in = (uInt)z.size();
	s.next_out = out.data();
	s.avail_out = (uInt)out.size();
	inflate(&s, Z_SYNC_FLUSH);
	out.resize(s.total_out);
	inflateEnd(&s);
	return out;
}

TEST(Inflate, MatchesZlibForEveryLevelStrategyWindowAndFlush)
{
	const Bytes data = SampleData();
	std::vector<std::pair<std::string, DeflateParams>> cases;
	for (int level = 0; level <= 9; ++level) {
		DeflateParams p;
		p.level = level;
		cases.push_back({"level " + std::to_string(level), p});
	}
	const std::pair<const char *, int> strategies[] = {
	    {"filtered", Z_FILTERED}, {"huffman only", Z_HUFFMAN_ONLY}, {"rle", Z_RLE}, {"fixed", Z_FIXED}};
	for (auto [name, strategy] : strategies) {
		DeflateParams p;
		p.strategy = strategy;
		cases.push_back({name, p});
	}
	for (int wb = 9; wb <= 15; ++wb) {
		DeflateParams p;
		p.windowBits = wb;
		p.level = 9;
		cases.push_back({"window bits " + std::to_string(wb), p});
	}
	for (int mem : {1, 2}) {
		DeflateParams p;
		p.memLevel = mem;
		cases.push_back({"memLevel " + std::to_string(mem), p});
	}
	const std::pair<const char *, int> flushes[] = {
	    {"sync flush", Z_SYNC_FLUSH}, {"full flush", Z_FULL_FLUSH}, {"partial flush", Z_PARTIAL_FLUSH}, {"block flush", Z_BLOCK}};
	for (auto [name, flush] : flushes) {
		DeflateParams p;
		p.flush = flush;
		p.flushEvery = 3001;
		cases.push_back({name, p});
	}

	for (const auto &[name, params] : cases) {
		SCOPED_TRACE(name);
		Bytes z = Deflate(data, params);
		InflateResult r = Inflate(z);
		EXPECT_EQ(r.rc, 1);
		EXPECT_TRUE(r.out == data) << "size " << r.out.size() << " of " << data.size();
		EXPECT_EQ(YsPngHuffmanTree::leakTracker, 0);
	}
}

// Symbol counts in Fibonacci proportion give the longest codes deflate
// allows (15 bits), beyond what one table look-up covers.
TEST(Inflate, LongestCodesMatchZlib)
{
	Bytes data;
	uint32_t a = 1, b = 1;
	for (int sym = 0; sym < 24; ++sym) {
		data.insert(data.end(), a, (uint8_t)(sym * 11));
		uint32_t c = a + b;
		a = b;
		b = c;
	}
	// shuffled, so that no repeats stand in for the literals
	uint32_t seed = 99;
	for (size_t i = data.size() - 1; i > 0; --i) {
		seed = seed * 1103515245u + 12345u;
		std::swap(data[i], data[(seed >> 8) % (i + 1)]);
	}
	for (int strategy : {Z_HUFFMAN_ONLY, Z_DEFAULT_STRATEGY}) {
		DeflateParams p;
		p.strategy = strategy;
		InflateResult r = Inflate(Deflate(data, p));
		EXPECT_EQ(r.rc, 1);
		EXPECT_TRUE(r.out == data);
	}
}

TEST(Inflate, EmptyAndTinyInputsMatchZlib)
{
	for (size_t n : {0, 1, 2, 5, 300}) {
		Bytes data(n, 'x');
		for (size_t i = 0; i < n; i += 7)
			data[i] = (uint8_t)i;
		for (int level : {0, 1, 9}) {
			DeflateParams p;
			p.level = level;
			InflateResult r = Inflate(Deflate(data, p));
			EXPECT_EQ(r.rc, 1);
			EXPECT_EQ(r.out, data);
		}
	}
}

TEST(Inflate, TruncatedStreamGivesWhatZlibGets)
{
	const Bytes data = SampleData();
	for (int level : {0, 1, 6}) {
		DeflateParams p;
		p.level = level;
		const Bytes z = Deflate(data, p);
		for (size_t cut : {z.size() / 7, z.size() / 2, z.size() - 9, z.size() - 5}) {
			SCOPED_TRACE("level " + std::to_string(level) + " cut at " + std::to_string(cut));
			Bytes part(z.begin(), z.begin() + cut);
			InflateResult r = Inflate(part);
			ASSERT_LE(r.out.size(), data.size());
			EXPECT_TRUE(std::equal(r.out.begin(), r.out.end(), data.begin()));
			// zlib gets exactly as far: every whole symbol in the data is decoded
			EXPECT_EQ(r.out.size(), ZlibInflate(part, data.size()).size());
			EXPECT_EQ(YsPngHuffmanTree::leakTracker, 0);
		}
	}
}

// Writes bits least significant first, Huffman codes most significant first.
class BitWriter
{
public:
	BitWriter() : bytes{0x78, 0x01} {}
	void Bits(unsigned v, int n)
	{
		for (int i = 0; i < n; ++i)
			Bit((v >> i) & 1);
	}
	void Code(unsigned code, int n)
	{
		for (int i = n - 1; i >= 0; --i)
			Bit((code >> i) & 1);
	}
	void Align()
	{
		nbits = 0;
	}
	void Byte(uint8_t b)
	{
		Align();
		bytes.push_back(b);
	}
	Bytes bytes;

private:
	void Bit(unsigned b)
	{
		if (nbits == 0)
			bytes.push_back(0);
		bytes.back() |= (uint8_t)(b << nbits);
		nbits = (nbits + 1) & 7;
	}
	int nbits = 0;
};

// Fixed code of a literal below 144.
void FixedLiteral(BitWriter &w, unsigned char c) { w.Code(0x30 + c, 8); }

// Dynamic block header whose code-length code gives symbol `a` the code 0 and
// `b` the code 1 (both of length 1).
void DynamicHeader(BitWriter &w, int a, int b, unsigned hlit, unsigned hdist)
{
	static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
	w.Bits(1, 1);
	w.Bits(2, 2);
	w.Bits(hlit, 5);
	w.Bits(hdist, 5);
	w.Bits(15, 4);   // all 19 code-length code lengths
	for (int sym : order)
		w.Bits(sym == a || sym == b ? 1 : 0, 3);
}

TEST(Inflate, BrokenStreamsFailWithoutHarm)
{
	struct Case
	{
		const char *name;
		Bytes stream;
		std::string expectedOutput;
	};
	std::vector<Case> cases;
	cases.push_back({"no bytes", {}, ""});
	cases.push_back({"one byte", {0x78}, ""});
	cases.push_back({"method other than deflate", {0x77, 0x01, 0x03, 0x00}, ""});
	cases.push_back({"preset dictionary", {0x78, 0x20, 0x03, 0x00}, ""});
	{
		BitWriter w;
		w.Bits(1, 1);
		w.Bits(3, 2);
		cases.push_back({"block type 3", w.bytes, ""});
	}
	{
		BitWriter w;
		w.Bits(1, 1);
		w.Bits(0, 2);
		w.Byte(10);
		w.Byte(0);
		w.Byte(0xF5);
		w.Byte(0xFF);
		for (char c : std::string("abcd"))
			w.Byte((uint8_t)c);
		cases.push_back({"stored block with missing bytes", w.bytes, "abcd"});
	}
	{
		BitWriter w;
		w.Bits(1, 1);
		w.Bits(0, 2);
		w.Byte(10);
		cases.push_back({"stored block without its length", w.bytes, ""});
	}
	for (unsigned dcode : {30u, 31u}) {
		BitWriter w;
		w.Bits(1, 1);
		w.Bits(1, 2);
		FixedLiteral(w, 'A');
		FixedLiteral(w, 'B');
		w.Code(1, 7);   // length 3
		w.Code(dcode, 5);
		w.Bits(0, 16);
		cases.push_back({dcode == 30 ? "distance code 30" : "distance code 31", w.bytes, "AB"});
	}
	{
		BitWriter w;
		DynamicHeader(w, 0, 16, 0, 0);
		w.Code(1, 1);   // 16 before any length
		w.Bits(0, 2);
		w.Bits(0, 16);
		cases.push_back({"repeat at position 0", w.bytes, ""});
	}
	{
		BitWriter w;
		DynamicHeader(w, 0, 18, 0, 0);
		for (int i = 0; i < 2; ++i) {
			w.Code(1, 1);   // 138 zeros, twice: past 258 lengths
			w.Bits(127, 7);
		}
		w.Bits(0, 16);
		cases.push_back({"zero run past the table", w.bytes, ""});
	}
	{
		BitWriter w;
		DynamicHeader(w, 0, 16, 0, 0);
		w.Code(0, 1);   // a length of 0 ...
		for (int i = 0; i < 90; ++i) {
			w.Code(1, 1);   // ... repeated 6 times, far past the table
			w.Bits(3, 2);
		}
		w.Bits(0, 16);
		cases.push_back({"repeat past the table", w.bytes, ""});
	}
	{
		// three code-length codes of length 1: over-subscribed
		BitWriter w;
		w.Bits(1, 1);
		w.Bits(2, 2);
		w.Bits(0, 5);
		w.Bits(0, 5);
		w.Bits(0, 4);
		w.Bits(1, 3);
		w.Bits(1, 3);
		w.Bits(1, 3);
		w.Bits(0, 3);
		w.Bits(0, 16);
		cases.push_back({"over-subscribed code", w.bytes, ""});
	}

	for (const Case &c : cases) {
		SCOPED_TRACE(c.name);
		InflateResult r = Inflate(c.stream);
		EXPECT_EQ(r.rc, 0);
		EXPECT_EQ(std::string(r.out.begin(), r.out.end()), c.expectedOutput);
		EXPECT_EQ(YsPngHuffmanTree::leakTracker, 0);
	}
}

TEST(Inflate, StopsWhenTheOutputRefusesMore)
{
	class Limited : public YsGenericPngDecoder
	{
	public:
		int Output(unsigned char) override { return ++n < 100 ? 1 : 0; }
		int n = 0;
	} lim;
	DeflateParams p;
	Bytes z = Deflate(SampleData(), p);
	YsPngUncompressor u(&lim);
	u.Uncompress(z.size(), z.data());
	EXPECT_EQ(lim.n, 100);
	EXPECT_EQ(YsPngHuffmanTree::leakTracker, 0);
}

} // namespace
