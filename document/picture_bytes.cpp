#include "document/picture_bytes.h"

#include <vector>

#include "picture/basebmp.h"
#include "picture/picencoder.h"
#include "picture/picsink.h"
#include "picture/winbmp.h"

namespace files {

namespace {

// Collects the encoder's output in memory.
class StringSink : public CPicSink {
public:
    explicit StringSink(int size) : buffer_(std::size_t(size > 0 ? size : 1)) {
        m_pStartData = buffer_.data();
        m_MaxBytes = size;
        m_BytesWritten = 0;
        m_Name = "memory";
    }
    std::string bytes() const { return std::string(reinterpret_cast<const char*>(buffer_.data()), std::size_t(m_BytesWritten)); }

private:
    std::vector<uint8_t> buffer_;
};

}  // namespace

std::string BmpBytes(const CBaseBmp& bmp) {
    // Header, a full palette and padded 24-bit rows.
    int64_t size = 54 + 1024 + int64_t(CWinBmp::LineBytes(bmp.GetWidth(), 24)) * bmp.GetHeight() +
                   int64_t(CWinBmp::LineBytes(bmp.GetWidth(), 8)) * bmp.GetHeight();
    StringSink sink(int(std::min<int64_t>(size, 0x7FFFFFFF)));
    CBmpEncoder encoder;
    encoder.EncodeBitmap(&bmp, &sink);
    return sink.bytes();
}

}  // namespace files
