// Inflate of zlib streams (RFC 1950 / 1951) for the PNG decoder; it needs no
// compression library. Every decompressed byte goes to the receiving decoder's
// Output.
#pragma once

#include <cstddef>
#include <memory>

class YsGenericPngDecoder;

// One node of a two-way decoding tree: bit 0 goes to the left child, bit 1 to
// the right one; a node without children is a leaf holding its symbol.
class YsPngHuffmanTree
{
public:
	YsPngHuffmanTree();
	~YsPngHuffmanTree();
	YsPngHuffmanTree(const YsPngHuffmanTree &) = delete;
	YsPngHuffmanTree &operator=(const YsPngHuffmanTree &) = delete;

	bool IsLeaf() const { return !zero && !one; }

	std::unique_ptr<YsPngHuffmanTree> zero, one;
	unsigned int dat = 0;

	// Nodes alive in the process; back to 0 whenever no inflate is running.
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
