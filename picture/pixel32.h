#pragma once
// One pixel of a 32-bit bitmap (also a palette entry): bytes blue, green, red,
// alpha in memory, i.e. the little-endian value 0xAARRGGBB.
#include <cstdint>

class CPixel32 {
 public:
  CPixel32() = default;
  CPixel32(uint8_t r, uint8_t g, uint8_t b, uint8_t a) : m_B(b), m_G(g), m_R(r), m_A(a) {}

  // Arguments in the order red, green, blue, alpha, not in memory order.
  void Set(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    m_R = r;
    m_G = g;
    m_B = b;
    m_A = a;
  }
  void SetR(uint8_t r) { m_R = r; }
  void SetG(uint8_t g) { m_G = g; }
  void SetB(uint8_t b) { m_B = b; }
  void SetA(uint8_t a) { m_A = a; }
  uint8_t GetR() const { return m_R; }
  uint8_t GetG() const { return m_G; }
  uint8_t GetB() const { return m_B; }
  uint8_t GetA() const { return m_A; }

  bool operator==(const CPixel32& o) const = default;

 private:
  uint8_t m_B = 0;
  uint8_t m_G = 0;
  uint8_t m_R = 0;
  uint8_t m_A = 0;
};

static_assert(sizeof(CPixel32) == 4, "CPixel32 is stored as four bytes");
