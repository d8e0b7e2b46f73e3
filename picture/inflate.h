// Inflate of zlib streams (RFC 1950 / 1951) for the PNG decoder; it needs no
// compression library. The decompressed bytes go to the receiving decoder's
// OutputBlock (by default one Output call a byte).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class YsGenericPngDecoder;

// The decoding table of one canonical Huffman code. A code of up to fastBits
// bits is looked up at once by the next fastBits bits of the stream; longer
// codes are found length by length from the counts of each length.
class YsPngHuffmanTree
{
public:
	enum
	{
		fastBits = 10,
		maxBits = 15,
		maxSymbols = 288
	};

	YsPngHuffmanTree();
	~YsPngHuffmanTree();
	YsPngHuffmanTree(const YsPngHuffmanTree &) = delete;
	YsPngHuffmanTree &operator=(const YsPngHuffmanTree &) = delete;

	// Indexed by the next fastBits bits (first bit in the lowest): the
	// symbol times 16 plus the code's length, 0 when the code is longer or
	// there is none.
	uint16_t fast[1 << fastBits];
	// Codes of each length, and the symbols in the order of their codes.
	uint16_t count[maxBits + 1];
	uint16_t symbol[maxSymbols];
	// The longest code's length (0: no codes) and the last code of that
	// length: the bit strings that lead to a code are the prefixes of codes
	// up to that one.
	unsigned int maxLength = 0, lastCode = 0;

	// Tables alive in the process; back to 0 whenever no inflate is running.
	static int leakTracker;
};

class YsPngUncompressor
{
public:
	explicit YsPngUncompressor(YsGenericPngDecoder *receiver = nullptr) : output(receiver) {}

	// 1 on success, 0 on failure; whatever was decoded before a failure has
	// been handed to the output already.
	int Uncompress(size_t length, const unsigned char *data);

	// Canonical codes of RFC 1951 3.2.2 for n symbols with the given lengths.
	static void MakeFixedHuffmanCode(unsigned int hLength[288], unsigned int hCode[288]);
	static void MakeDynamicHuffmanCode(unsigned int hLength[], unsigned int hCode[], unsigned int nLng);
	// Null when the lengths do not describe a prefix code.
	static std::unique_ptr<YsPngHuffmanTree> MakeHuffmanTree(unsigned int n, const unsigned int hLength[],
	                                                         const unsigned int hCode[]);
	static void DeleteHuffmanTree(std::unique_ptr<YsPngHuffmanTree> &tree) { tree.reset(); }

	YsGenericPngDecoder *output;

private:
	struct BitReader;
	bool DecodeDynamicHuffmanCode(BitReader &in, std::unique_ptr<YsPngHuffmanTree> &codeTree,
	                              std::unique_ptr<YsPngHuffmanTree> &distTree);
	static unsigned int GetCopyLength(unsigned int value, BitReader &in);
	static bool GetBackwardDistance(unsigned int distCode, BitReader &in, unsigned int &dist);
};
