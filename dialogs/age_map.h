#pragma once
// The age map: the built-in wrinkle picture (a relief on a 1024 x 1024
// grid) laid over the head's texture so that its grooves fall on the face,
// for the ageing emboss and the exported bump map. The model page warps it
// by the grid of the age tables (its nodes moved onto the head's feature
// points); the age page warps it by one triangle. Both then fill the small
// holes a forward warp leaves.

#include <array>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "foundation/use.h"
#include "framework/cstring.h"
#include "model/head.h"
#include "picture/pixel32.h"

class CWinBmp;

namespace morph {

// The triangle of the head that holds a point bound to the surface, and the
// point's barycentric weights on it: an edit point's own triangle, or the
// first triangle of a fixed point's vertex. False when the point is bound
// to neither (or its vertex has no triangle).
bool SurfaceTriangle(const head3& h, const generalpoint3& p, Index<triangle>& t, vector3<double>& bary);
// The texel of such a point (Coord3DToTextureCoord); false when unbound.
bool PointTexel(head3& h, const generalpoint3& p, int& x, int& y);

// Decodes a picture at 32 bits per pixel; false (out unchanged) on failure.
bool DecodePicture(std::span<const unsigned char> bytes, CWinBmp& out);
// The built-in wrinkle picture's bytes (BACKGROUNDS 278); empty when missing.
std::span<const unsigned char> AgePictureBytes();

// A node of the age grid: its serial, source texel (on the resized picture)
// and target texel (on the texture).
struct AgeNode {
    CString name;
    int serial = 0;
    int sx = 0, sy = 0;
    int tx = 0, ty = 0;
};

// The grid nodes (table 154 rows of serial 1 and up, by serial; a serial
// that is missing stays unusable) for a picture of picW x picH resized to
// the texture's w x h: source x x w / picW, y x h / picH. Each node named
// like a feature point of the table that is bound on the head and whose
// code fits the feature group takes that point's texel as target when it
// lies inside the texture; the others keep their source. In the
// picture-editor mode the texture is the photo and the texel's row is used
// as it is; else the face lies in the synthesised layout, which the
// texture holds squeezed and turned over in its upper half, and the row
// becomes h - 2 x the row: the map is the layout at full height, upright as
// the wrinkle picture and as the DAZ-Poser export's texture picture.
std::vector<AgeNode> AgeGridNodes(head3& h, int w, int h_, int picW, int picH, int group);
// The age map brought to the texture's rows for the emboss: as it is in the
// picture-editor mode; else each row r of the texture's upper half takes
// the mean of the map's rows h - 2r - 1 and h - 2r, and the lower half (the
// photo) the last of them, a relief without grooves.
void AgeMapOnTexture(const CWinBmp& ageMap, CWinBmp& out);
// The grid's triangles (table 155): node indices into AgeGridNodes' result,
// only triangles of three usable nodes.
std::vector<std::array<int, 3>> AgeGridTriangles(const std::vector<AgeNode>& nodes);

// The forward warp of the model page: out (the picture's size) is cleared;
// every texel of the picture inside a grid triangle's source goes to the
// same barycentric combination of the triangle's targets (rounded), when
// that lies inside. Written texels get alpha 255.
void MeshWarp(const CWinBmp& picture, const std::vector<AgeNode>& nodes,
              const std::vector<std::array<int, 3>>& triangles, CWinBmp& out);
// The same over a w x h picture given row by row: rowOf(y) is row y's
// pixels (asked for once, in the order of the rows).
void MeshWarp(int w, int h, const std::function<const CPixel32*(int)>& rowOf, const std::vector<AgeNode>& nodes,
              const std::vector<std::array<int, 3>>& triangles, CWinBmp& out);
// The forward warp of the age page: every texel through the affine map that
// takes src[k] to dst[k] (weights may be negative), rounded; writes outside
// skipped. False, and out the picture unwarped, when the target triangle is
// degenerate (area below one texel).
bool TriangleWarp(const CWinBmp& picture, const vector2<double> src[3], const vector2<double> dst[3], CWinBmp& out);
// Every texel of [3, w - 4] x [3, h - 4] with alpha 0 takes the integer
// channel means of the texels with a nonzero alpha in its 7 x 7
// neighbourhood (alpha stays 0); one without such a neighbour is left.
// Returns the number left.
int FillHoles(CWinBmp& bmp);

// The model page's SetAgeBmp: the age map of the head's texture from the
// picture (the built-in one when none is given). False, map unchanged,
// without a texture or when the picture does not decode.
bool BuildAgeMap(head3& h, CWinBmp& ageMap, int group, std::span<const unsigned char> picture = {});

// The age page's source points on the 1024 grid.
inline constexpr double kAgePageSource[3][2] = {{511, 637}, {664, 500}, {360, 500}};
// Its target points: for each feature table row of weight 2.0 whose point
// is bound on the head, in table order, the texel of the centre of the
// triangle holding the point; unfilled slots stay (0, 0).
void AgePageTargets(head3& h, vector2<double> target[3]);
// The age page's SetAgeBmp: the picture passes through the file
// "fmtmp\old.jpg" in the temporary folder, is resized to w x h and warped
// by the source points (scaled by w / 1024 and h / 1024) onto the targets;
// holes are filled, and texels still empty take the picture's mean colour.
// False, map unchanged, when the file cannot be written or decoded.
bool BuildAgePageMap(CWinBmp& ageMap, int w, int h, const vector2<double> target[3],
                     std::span<const unsigned char> picture = {});
// The file it passes through.
std::string AgePageTempFile();

}  // namespace morph
