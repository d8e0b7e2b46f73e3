#pragma once
// Mac PICT pictures: the first bitmap opcode (bits, packed bits, direct
// bits) or QuickTime JPEG data; vector drawing is passed over.
#include <vector>

#include "picture/picdecoder.h"

class CAnyPicDecoder;

class CPictDecoder : public CPicDecoder {
 public:
  // The owner gives the JPEG decoder for JPEG data inside PICT files; none
  // makes such files fail with code 6.
  explicit CPictDecoder(CAnyPicDecoder* owner = nullptr) : m_pOwner(owner) {}

  void DecodeFromSource(CWinBmp* bmp, std::unique_ptr<CPixel32[]>& pal, int* pDestBPP,
                        CPicSource* source) override;

 private:
  struct PixMap;
  struct Rect {
    int top = 0, left = 0, bottom = 0, right = 0;
  };

  int readOpcode(CPicSource* source);
  void skipOpcode(CPicSource* source, int opcode);
  void skipPolyOrRegion(CPicSource* source);
  void skipPixPat(CPicSource* source);
  void readPixMap(CPicSource* source, PixMap& pm, bool direct);
  void readColourTable(CPicSource* source, std::vector<CPixel32>& table);
  void decodeBitmapOpcode(CWinBmp* bmp, int* pDestBPP, CPicSource* source, int opcode);
  void decodeJpeg(CWinBmp* bmp, std::unique_ptr<CPixel32[]>& pal, int* pDestBPP, CPicSource* source);
  static Rect readRect(CPicSource* source);

  CAnyPicDecoder* m_pOwner;
  int m_Version = 2;
  int m_PictStart = 0;
};
