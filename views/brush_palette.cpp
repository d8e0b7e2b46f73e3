#include "views/brush_palette.h"

#include <algorithm>
#include <new>

#include "picture/anypicdecoder.h"
#include "picture/textexception.h"
#include "picture/winbmp.h"

namespace palette {

BrushSliders BrushPaletteStart(const TextureImage* texture) {
    BrushSliders s;
    s.textureSize = texture && texture->width > 0 ? texture->width : 512;
    const int w = s.textureSize;
    s.scale = std::max(1, w / 512);
    s.sizeMin = 1;
    s.sizeMax = std::max(2, int((long long)w * 20 / 512));
    s.sizeTick = std::max(1, int((long long)w * 5 / 512));
    s.size = std::clamp(int((long long)w * 10 / 512), 2, s.sizeMax);
    s.strength = 0.5f;
    s.transparency = int((1 - s.strength) * 100);
    return s;
}

int BrushSizeOf(int position) { return position > 0 ? position - position % 2 : 0; }

float StrengthOf(int transparency) { return float(1 - transparency * 0.01); }

int PreviewFrameGrey(int transparency) { return int(transparency * 0.01 * 255); }

std::vector<PreviewPixel> BrushPreviewPixels(const CBrush2& mask, int size, int scale, int width, int height) {
    std::vector<PreviewPixel> out;
    if (scale < 1 || size <= 0) return out;
    const int n = 2 * size / scale;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const int r = scale * i, c = scale * j;
            if (r >= mask.rows() || c >= mask.cols()) continue;
            out.push_back({i + width / 2 - size / scale, j + height / 2 - size / scale, int(mask[r][c] * 255)});
        }
    return out;
}

bool LoadCloneSource(const std::string& path, CWinBmp& source) {
    CWinBmp decoded;
    try {
        CAnyPicDecoder decoder;
        decoder.MakeBmpFromFile(path.c_str(), &decoded, 32);
    } catch (const CTextException&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (decoded.GetBitsPerPixel() != 32 || decoded.GetWidth() <= 0 || decoded.GetHeight() <= 0) return false;
    const CWinBmp& shape = source.GetHeight() > 0 ? source : decoded;
    const int width = std::max(1, int((long long)shape.GetWidth() * 768 / shape.GetHeight()));
    decoded.ResizeBilinear(width, 768);
    source = decoded;
    return true;
}

}  // namespace palette
