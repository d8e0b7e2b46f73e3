#include "picture/inflate.h"

#include "picture/png.h"

#include <cstdio>

#include "picture/pictrace.h"
#include <vector>

int YsPngHuffmanTree::leakTracker = 0;

YsPngHuffmanTree::YsPngHuffmanTree() { ++leakTracker; }

YsPngHuffmanTree::~YsPngHuffmanTree() { --leakTracker; }

// Bits come from the least significant bit of each byte on. Reading past the
// end gives 0 bits and sets the exhausted flag.
struct YsPngUncompressor::BitReader
{
	const unsigned char *data;
	size_t length;
	size_t bytePtr = 0;
	unsigned int bitPtr = 1;
	bool exhausted = false;

	BitReader(const unsigned char *d, size_t n) : data(d), length(n) {}

	unsigned int GetNextBit()
	{
		if (bytePtr >= length) {
			exhausted = true;
			return 0;
		}
		unsigned int bit = (data[bytePtr] & bitPtr) ? 1 : 0;
		bitPtr <<= 1;
		if (bitPtr >= 0x100) {
			bitPtr = 1;
			++bytePtr;
		}
		return bit;
	}
	// n bits, least significant first
	unsigned int GetBits(unsigned int n)
	{
		unsigned int v = 0;
		for (unsigned int i = 0; i < n; ++i)
			v |= GetNextBit() << i;
		return v;
	}
	void AlignToByte()
	{
		if (bitPtr != 1) {
			bitPtr = 1;
			++bytePtr;
		}
	}
	bool AtEnd() const { return bytePtr >= length; }
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
	auto root = std::make_unique<YsPngHuffmanTree>();
	for (unsigned int i = 0; i < n; ++i) {
		unsigned int len = hLength[i];
		if (len == 0)
			continue;
		if (len > 15)
			return nullptr;
		YsPngHuffmanTree *node = root.get();
		for (unsigned int b = len; b-- > 0;) {
			// a path through a symbol's node means the code is not prefix-free
			if (node->dat != 0)
				return nullptr;
			auto &child = ((hCode[i] >> b) & 1) ? node->one : node->zero;
			if (!child)
				child = std::make_unique<YsPngHuffmanTree>();
			node = child.get();
		}
		if (!node->IsLeaf() || node->dat != 0)
			return nullptr;   // two symbols on one code
		node->dat = i + 1;    // stored one above, so that 0 marks a free leaf
	}
	// back to plain symbols
	std::vector<YsPngHuffmanTree *> stack{root.get()};
	while (!stack.empty()) {
		YsPngHuffmanTree *node = stack.back();
		stack.pop_back();
		if (node->dat > 0)
			--node->dat;
		if (node->zero)
			stack.push_back(node->zero.get());
		if (node->one)
			stack.push_back(node->one.get());
	}
	return root;
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

// Walks the tree one bit at a time. -1: the data ran out, -2: a missing child.
int DecodeSymbol(const YsPngHuffmanTree *node, unsigned int (*next)(void *), void *ctx, const bool &exhausted)
{
	if (node->IsLeaf())
		return -2;   // a tree without codes
	while (!node->IsLeaf()) {
		unsigned int bit = next(ctx);
		if (exhausted)
			return -1;
		node = bit ? node->one.get() : node->zero.get();
		if (!node)
			return -2;
	}
	return (int)node->dat;
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
	auto next = [](void *ctx) { return static_cast<BitReader *>(ctx)->GetNextBit(); };
	for (unsigned int i = 0; i < total;) {
		int sym = DecodeSymbol(clTree.get(), next, &in, in.exhausted);
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
	in.bytePtr = 2;

	// Distances never exceed 32768, so that window serves every stream, also one
	// whose header claims a window it can't have.
	const unsigned int windowSize = 32768, windowMask = windowSize - 1;
	std::vector<unsigned char> window(windowSize, 0);
	unsigned int windowPtr = 0;
	bool stopped = false;
	size_t nOutput = 0;
	auto put = [&](unsigned char c) {
		++nOutput;
		window[windowPtr] = c;
		windowPtr = (windowPtr + 1) & windowMask;
		if (output && output->Output(c) != 1)
			stopped = true;
	};
	auto next = [](void *ctx) { return static_cast<BitReader *>(ctx)->GetNextBit(); };

	unsigned int bFinal = 0;
	while (bFinal == 0 && !stopped) {
		if (in.AtEnd()) {
			PLTrace(1, "Buffer overflow\n");
			return 0;
		}
		bFinal = in.GetNextBit();
		unsigned int bType = in.GetBits(2);
		PLTrace(2, "bFinal=%d bType=%d\n", bFinal, bType);

		if (bType == 0) {
			in.AlignToByte();
			if (in.bytePtr > length || length - in.bytePtr < 4) {
				PLTrace(1, "Buffer overflow\n");
				return 0;
			}
			unsigned int len = data[in.bytePtr] | (data[in.bytePtr + 1] << 8);
			in.bytePtr += 4;
			// a block whose bytes are missing gives what is there
			size_t avail = length - in.bytePtr;
			size_t n = len <= avail ? len : avail;
			for (size_t i = 0; i < n && !stopped; ++i)
				put(data[in.bytePtr + i]);
			in.bytePtr += n;
			if (n < len && !stopped) {
				PLTrace(1, "Buffer overflow\n");
				return 0;
			}
			continue;
		}
		if (bType == 3) {
			PLTrace(1, "Unknown compression type (bType=3)\n");
			return 0;
		}

		std::unique_ptr<YsPngHuffmanTree> codeTree, distTree;
		if (bType == 1) {
			unsigned int hLength[288], hCode[288];
			MakeFixedHuffmanCode(hLength, hCode);
			codeTree = MakeHuffmanTree(288, hLength, hCode);
		}
		else if (!DecodeDynamicHuffmanCode(in, codeTree, distTree)) {
			PLTrace(1, "Huffman table broken\n");
			return 0;
		}
		PLTrace(2, "Huffman table paprared\n");

		for (;;) {
			int sym = DecodeSymbol(codeTree.get(), next, &in, in.exhausted);
			if (sym == -2)
				PLTrace(1, "Huffman Decompression: Reached NULL node.\n");
			if (sym < 0)
				break;
			if (sym < 256) {
				put((unsigned char)sym);
				if (stopped)
					break;
				continue;
			}
			if (sym == 256)
				break;
			if (sym > 285)
				continue;
			unsigned int copyLength = GetCopyLength((unsigned int)sym, in);
			int distCode;
			if (bType == 1) {
				// fixed distance codes: 5 bits, most significant first
				distCode = 0;
				for (int b = 0; b < 5; ++b)
					distCode = (distCode << 1) | (int)in.GetNextBit();
			}
			else {
				distCode = DecodeSymbol(distTree.get(), next, &in, in.exhausted);
				if (distCode == -2)
					PLTrace(1, "Huffman Decompression: Reached NULL node.\n");
				if (distCode < 0)
					break;
			}
			unsigned int dist;
			if (!GetBackwardDistance((unsigned int)distCode, in, dist)) {
				PLTrace(1, "Invalid distance code (%d)\n", distCode);
				return 0;
			}
			if (in.exhausted)
				break;
			for (unsigned int i = 0; i < copyLength && !stopped; ++i)
				put(window[(windowPtr - dist) & windowMask]);
			if (stopped)
				break;
		}
	}

	PLTrace(2, "End zLib block length=%d bytePtr=%d bitPtr=0x%02x\n", (int)length, (int)in.bytePtr, in.bitPtr);
	PLTrace(2, "Huffman Tree Leak Tracker = %d\n", YsPngHuffmanTree::leakTracker);
	PLTrace(2, "Output %d bytes.\n", (int)nOutput);
	return 1;
}
