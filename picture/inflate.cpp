#include "picture/inflate.h"

#include "picture/png.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "picture/pictrace.h"

int YsPngHuffmanTree::leakTracker = 0;

YsPngHuffmanTree::YsPngHuffmanTree() { ++leakTracker; }

YsPngHuffmanTree::~YsPngHuffmanTree() { --leakTracker; }

// Bits come from the least significant bit of each byte on, through a 64-bit
// buffer. Reading past the end gives 0 bits and sets the exhausted flag.
struct YsPngUncompressor::BitReader
{
	const unsigned char *data;
	size_t length;
	size_t next = 0;        // the next byte to load
	uint64_t buf = 0;       // loaded bits, the next one lowest; above them 0 or bits still to load
	unsigned int cnt = 0;   // loaded bits
	bool exhausted = false;

	BitReader(const unsigned char *d, size_t n) : data(d), length(n) {}

	// At least 57 bits loaded while the data lasts.
	void Refill()
	{
		if (length - next >= 8) {
			uint64_t w;
			if constexpr (std::endian::native == std::endian::little)
				memcpy(&w, data + next, 8);
			else {
				w = 0;
				for (int i = 7; i >= 0; --i)
					w = (w << 8) | data[next + i];
			}
			buf |= w << cnt;
			next += (63 - cnt) >> 3;
			cnt |= 56;
		}
		else {
			while (cnt <= 56 && next < length) {
				buf |= (uint64_t)data[next++] << cnt;
				cnt += 8;
			}
		}
	}
	void Drop(unsigned int n)
	{
		buf >>= n;
		cnt -= n;
	}
	void RunOut()
	{
		exhausted = true;
		buf = 0;
		cnt = 0;
	}
	// n bits (at most 16), least significant first
	unsigned int GetBits(unsigned int n)
	{
		Refill();
		if (n > cnt) {
			unsigned int v = (unsigned int)(buf & ((1u << cnt) - 1));
			RunOut();
			return v;
		}
		unsigned int v = (unsigned int)(buf & ((1u << n) - 1));
		Drop(n);
		return v;
	}
	unsigned int GetNextBit() { return GetBits(1); }
	void AlignToByte() { Drop(cnt & 7); }
	// After AlignToByte: gives back the whole loaded bytes, so that reading
	// goes on at `next`.
	void UnloadBytes()
	{
		next -= cnt / 8;
		buf = 0;
		cnt = 0;
	}
	bool AtEnd() const { return cnt == 0 && next >= length; }
	size_t BitPosition() const { return next * 8 - cnt; }
};

void YsPngUncompressor::MakeFixedHuffmanCode(unsigned int hLength[288], unsigned int hCode[288])
{
	for (unsigned int i = 0; i < 288; ++i)
		hLength[i] = i <= 143 ? 8 : i <= 255 ? 9 : i <= 279 ? 7 : 8;
	MakeDynamicHuffmanCode(hLength, hCode, 288);
}

void YsPngUncompressor::MakeDynamicHuffmanCode(unsigned int hLength[], unsigned int hCode[], unsigned int nLng)
{
	unsigned int blCount[16] = {0}, nextCode[16] = {0};
	for (unsigned int i = 0; i < nLng; ++i)
		if (hLength[i] < 16)
			++blCount[hLength[i]];
	blCount[0] = 0;
	unsigned int code = 0;
	for (unsigned int bits = 1; bits < 16; ++bits) {
		code = (code + blCount[bits - 1]) << 1;
		nextCode[bits] = code;
	}
	for (unsigned int i = 0; i < nLng; ++i) {
		unsigned int len = hLength[i];
		hCode[i] = (len > 0 && len < 16) ? nextCode[len]++ : 0;
	}
}

std::unique_ptr<YsPngHuffmanTree> YsPngUncompressor::MakeHuffmanTree(unsigned int n, const unsigned int hLength[],
                                                                     const unsigned int hCode[])
{
	if (n > YsPngHuffmanTree::maxSymbols)
		return nullptr;
	auto t = std::make_unique<YsPngHuffmanTree>();
	memset(t->fast, 0, sizeof t->fast);
	memset(t->count, 0, sizeof t->count);
	for (unsigned int i = 0; i < n; ++i) {
		const unsigned int len = hLength[i];
		if (len == 0)
			continue;
		// a code that does not fit its length: the lengths over-subscribe
		// the code space, and some code would be the prefix of another
		if (len > YsPngHuffmanTree::maxBits || (hCode[i] >> len) != 0)
			return nullptr;
		++t->count[len];
		if (len > t->maxLength || (len == t->maxLength && hCode[i] > t->lastCode)) {
			t->maxLength = len;
			t->lastCode = hCode[i];
		}
	}
	unsigned int offset[YsPngHuffmanTree::maxBits + 2] = {0};
	for (unsigned int len = 1; len <= YsPngHuffmanTree::maxBits; ++len)
		offset[len + 1] = offset[len] + t->count[len];
	for (unsigned int i = 0; i < n; ++i) {
		const unsigned int len = hLength[i];
		if (len == 0)
			continue;
		t->symbol[offset[len]++] = (uint16_t)i;
		if (len <= YsPngHuffmanTree::fastBits) {
			// the stream holds the code's first bit lowest
			unsigned int reversed = 0;
			for (unsigned int b = 0; b < len; ++b)
				reversed |= ((hCode[i] >> b) & 1) << (len - 1 - b);
			for (unsigned int j = reversed; j < (1u << YsPngHuffmanTree::fastBits); j += 1u << len)
				t->fast[j] = (uint16_t)(i << 4 | len);
		}
	}
	return t;
}

unsigned int YsPngUncompressor::GetCopyLength(unsigned int value, BitReader &in)
{
	static const unsigned short base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
	                                        31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
	static const unsigned char extra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
	                                        2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
	unsigned int i = value - 257;
	return base[i] + in.GetBits(extra[i]);
}

bool YsPngUncompressor::GetBackwardDistance(unsigned int distCode, BitReader &in, unsigned int &dist)
{
	static const unsigned short base[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
	                                        33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
	                                        1025, 1537, 2049, 3073, 4097, 6145,  8193,  12289, 16385, 24577};
	static const unsigned char extra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
	                                        6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
	// codes 30 and 31 can be coded but mean nothing
	if (distCode >= 30)
		return false;
	dist = base[distCode] + in.GetBits(extra[distCode]);
	return true;
}

namespace {

// The symbol of a code longer than the fast table's bits, or -1 / -2 as
// below.
template <class Reader>
__attribute__((noinline)) int DecodeLongSymbol(const YsPngHuffmanTree &t, Reader &in)
{
	// length by length on the canonical counts
	uint64_t bits = in.buf;
	unsigned int code = 0, first = 0, index = 0;
	for (unsigned int len = 1; len <= YsPngHuffmanTree::maxBits; ++len) {
		code |= (unsigned int)(bits & 1);
		bits >>= 1;
		const unsigned int count = t.count[len];
		if (code - first < count) {
			if (len > in.cnt) {
				in.RunOut();
				return -1;
			}
			in.Drop(len);
			return t.symbol[index + code - first];
		}
		// no longer code starts with these bits
		if (len >= t.maxLength || code > (t.lastCode >> (t.maxLength - len))) {
			if (len > in.cnt) {
				in.RunOut();
				return -1;
			}
			in.Drop(len);
			return -2;
		}
		index += count;
		first = (first + count) << 1;
		code <<= 1;
	}
	return -2;
}

// The next symbol of the code: -1 when the data runs out inside it, -2 when
// the bits lead to no code (in a tree: a missing child, reached after as
// many bits as lead to it).
template <class Reader>
inline int DecodeSymbol(const YsPngHuffmanTree &t, Reader &in)
{
	in.Refill();
	const unsigned int e = t.fast[in.buf & ((1u << YsPngHuffmanTree::fastBits) - 1)];
	if (e != 0) {
		const unsigned int len = e & 15;
		if (len > in.cnt) {
			in.RunOut();
			return -1;
		}
		in.Drop(len);
		return (int)(e >> 4);
	}
	if (t.maxLength == 0)
		return -2;   // a code without symbols
	return DecodeLongSymbol(t, in);
}

unsigned int Reverse5(unsigned int v)
{
	return ((v & 1) << 4) | ((v & 2) << 2) | (v & 4) | ((v & 8) >> 2) | ((v & 16) >> 4);
}

} // namespace

bool YsPngUncompressor::DecodeDynamicHuffmanCode(BitReader &in, std::unique_ptr<YsPngHuffmanTree> &codeTree,
                                                 std::unique_ptr<YsPngHuffmanTree> &distTree)
{
	unsigned int hLit = in.GetBits(5);
	unsigned int hDist = in.GetBits(5);
	unsigned int hCLen = in.GetBits(4);
	PLTrace(2, "hLit=%d hDist=%d hCLen=%d\n", hLit, hDist, hCLen);

	static const unsigned char order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
	unsigned int clLength[19] = {0}, clCode[19];
	for (unsigned int i = 0; i < hCLen + 4; ++i)
		clLength[order[i]] = in.GetBits(3);
	if (in.exhausted)
		return false;
	MakeDynamicHuffmanCode(clLength, clCode, 19);
	auto clTree = MakeHuffmanTree(19, clLength, clCode);
	if (!clTree)
		return false;

	const unsigned int nLit = hLit + 257, nDist = hDist + 1, total = nLit + nDist;
	unsigned int lengths[288 + 32] = {0};
	for (unsigned int i = 0; i < total;) {
		int sym = DecodeSymbol(*clTree, in);
		if (sym < 0)
			return false;
		unsigned int count, value;
		if (sym < 16) {
			lengths[i++] = (unsigned int)sym;
			continue;
		}
		if (sym == 16) {
			if (i == 0)
				return false;   // nothing to repeat
			value = lengths[i - 1];
			count = 3 + in.GetBits(2);
		}
		else if (sym == 17) {
			value = 0;
			count = 3 + in.GetBits(3);
		}
		else {
			value = 0;
			count = 11 + in.GetBits(7);
		}
		if (in.exhausted || count > total - i)
			return false;   // a repeat may not run past the table
		while (count-- > 0)
			lengths[i++] = value;
	}

	PLTrace(2, "Making Huffman Code from Code Lengths\n");
	unsigned int litCode[288], distCode[32];
	MakeDynamicHuffmanCode(lengths, litCode, nLit);
	MakeDynamicHuffmanCode(lengths + nLit, distCode, nDist);
	PLTrace(2, "Making Huffman Tree\n");
	codeTree = MakeHuffmanTree(nLit, lengths, litCode);
	distTree = MakeHuffmanTree(nDist, lengths + nLit, distCode);
	return codeTree && distTree;
}

int YsPngUncompressor::Uncompress(size_t length, const unsigned char *data)
{
	BitReader in(data, length);
	PLTrace(2, "Begin zLib block length=%d bytePtr=%d bitPtr=0x%02x\n", (int)length, 0, 1);
	// the two header bytes must be there
	if (length < 2) {
		PLTrace(1, "Buffer overflow\n");
		return 0;
	}
	unsigned int cmf = data[0], flg = data[1];
	unsigned int cm = cmf & 15, cInfo = cmf >> 4;
	if (cm != 8) {
		PLTrace(1, "Unsupported compression method! (%d)\n", cm);
		return 0;
	}
	PLTrace(2, "cInfo=%d, Window Size=%d\n", cInfo, 1 << (cInfo + 8));
	PLTrace(2, "fCheck=%d fDict=%d fLevel=%d\n", flg & 31, (flg >> 5) & 1, flg >> 6);
	if (flg & 32) {
		PLTrace(1, "PNG is not supposed to have a preset dictionary.\n");
		return 0;
	}
	in.next = 2;

	// The decoded bytes gather after 32 KiB of history (zeros at first, which
	// a distance before the first byte reads: distances never exceed 32768,
	// so that window serves every stream, also one whose header claims a
	// window it can't have) and go to the output a block at a time.
	const size_t history = 32768, chunk = 65536;
	std::vector<unsigned char> window(history + chunk + 258, 0);
	unsigned char *const buf = window.data();
	size_t pos = history, flushed = history;
	size_t nOutput = 0;
	bool stopped = false;
	auto flush = [&]() {
		if (pos > flushed && !stopped && output) {
			nOutput += pos - flushed;
			if (output->OutputBlock(buf + flushed, pos - flushed) != 1)
				stopped = true;
		}
		flushed = pos;
	};
	// Room for the longest copy; false when the output has stopped.
	auto room = [&]() {
		if (pos < history + chunk)
			return true;
		flush();
		memmove(buf, buf + pos - history, history);
		pos = flushed = history;
		return !stopped;
	};
	auto finish = [&]() {
		const size_t bit = in.BitPosition();
		PLTrace(2, "End zLib block length=%d bytePtr=%d bitPtr=0x%02x\n", (int)length, (int)(bit / 8),
		        1u << (bit % 8));
		PLTrace(2, "Huffman Tree Leak Tracker = %d\n", YsPngHuffmanTree::leakTracker);
		PLTrace(2, "Output %d bytes.\n", (int)nOutput);
		return 1;
	};
	// Whatever was decoded before the failure goes out first; an output that
	// stops there would have stopped the inflate before the failure.
	auto fail = [&]() {
		flush();
		return stopped ? finish() : 0;
	};

	std::unique_ptr<YsPngHuffmanTree> fixedTree;
	unsigned int bFinal = 0;
	while (bFinal == 0 && !stopped) {
		if (in.AtEnd()) {
			PLTrace(1, "Buffer overflow\n");
			return fail();
		}
		bFinal = in.GetNextBit();
		unsigned int bType = in.GetBits(2);
		PLTrace(2, "bFinal=%d bType=%d\n", bFinal, bType);

		if (bType == 0) {
			in.AlignToByte();
			in.UnloadBytes();
			if (in.next > length || length - in.next < 4) {
				PLTrace(1, "Buffer overflow\n");
				return fail();
			}
			size_t len = data[in.next] | (data[in.next + 1] << 8);
			in.next += 4;
			// a block whose bytes are missing gives what is there
			const size_t avail = length - in.next;
			const size_t n = len <= avail ? len : avail;
			for (size_t done = 0; done < n;) {
				if (!room())
					break;
				const size_t part = std::min(n - done, history + chunk - pos);
				memcpy(buf + pos, data + in.next + done, part);
				pos += part;
				done += part;
			}
			in.next += n;
			if (n < len && !stopped) {
				PLTrace(1, "Buffer overflow\n");
				return fail();
			}
			continue;
		}
		if (bType == 3) {
			PLTrace(1, "Unknown compression type (bType=3)\n");
			return fail();
		}

		std::unique_ptr<YsPngHuffmanTree> dynamicTree, distTree;
		const YsPngHuffmanTree *codeTree;
		if (bType == 1) {
			if (!fixedTree) {
				unsigned int hLength[288], hCode[288];
				MakeFixedHuffmanCode(hLength, hCode);
				fixedTree = MakeHuffmanTree(288, hLength, hCode);
			}
			codeTree = fixedTree.get();
		}
		else if (!DecodeDynamicHuffmanCode(in, dynamicTree, distTree)) {
			PLTrace(1, "Huffman table broken\n");
			return fail();
		}
		else
			codeTree = dynamicTree.get();
		PLTrace(2, "Huffman table paprared\n");

		while (room()) {
			const int sym = DecodeSymbol(*codeTree, in);
			if (sym < 256) {
				if (sym < 0) {
					if (sym == -2)
						PLTrace(1, "Huffman Decompression: Reached NULL node.\n");
					break;
				}
				buf[pos++] = (unsigned char)sym;
				continue;
			}
			if (sym == 256)
				break;
			if (sym > 285)
				continue;
			const unsigned int copyLength = GetCopyLength((unsigned int)sym, in);
			int distCode;
			if (bType == 1) {
				// fixed distance codes: 5 bits, most significant first
				distCode = (int)Reverse5(in.GetBits(5));
			}
			else {
				distCode = DecodeSymbol(*distTree, in);
				if (distCode == -2)
					PLTrace(1, "Huffman Decompression: Reached NULL node.\n");
				if (distCode < 0)
					break;
			}
			unsigned int dist;
			if (!GetBackwardDistance((unsigned int)distCode, in, dist)) {
				PLTrace(1, "Invalid distance code (%d)\n", distCode);
				return fail();
			}
			if (in.exhausted)
				break;
			const unsigned char *from = buf + pos - dist;
			unsigned char *to = buf + pos;
			if (dist >= copyLength)
				memcpy(to, from, copyLength);
			else
				for (unsigned int i = 0; i < copyLength; ++i)
					to[i] = from[i];
			pos += copyLength;
		}
	}

	flush();
	return finish();
}
