#pragma once
// Figures as Wavefront OBJ: the file is read into import buffers and the
// Group, Material and TxtCoordinate tables, a new head is built from the
// buffers beside the open project, and a texture is taken from a picture
// beside the file. The document then takes head, tables and texture over.

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/head.h"
#include "seams/app.h"

namespace files {

struct ObjImport {
    // Seven values a vertex (x, y, z, three spare, used mark), nine a
    // triangle (corners, texture rows, group, material, quad partner: the
    // second triangle's index in the first, -1 otherwise).
    std::vector<head3::PNT> vertices;
    std::vector<head3::TRI> triangles;
    svc::FaceTables tables;
    // (stored + offset) / scale gives the file's coordinates back.
    vector3<double> offset;
    double scale = 1.0;
    std::unique_ptr<head3> head;
    std::string texturePicture;  // the picture used ("" for the grey texture)
};

// One "f" line's corners as triangles of (vertex, texture) numbers as the
// file writes them: the fan (c0, c1, c2), (c3, c0, c2), (c4, c0, c3), ...
// At most 36 corners are taken; a texture or normal number may be left out
// ("1/", "1/2/", "1//"). False with a reason for a corner that is no number
// form or a face of fewer than three corners.
struct ObjCorner {
    long vertex = 0;
    long texture = 0;
};
bool ScanTriangles(std::string_view corners, std::vector<ObjCorner>& cornersOut,
                   std::vector<std::array<int, 3>>& fan, std::string& reason);

// The buffers, tables, scaling and centring ("obj line 17: vertex 120 of
// 100"); a leading byte-order mark and comments after the numbers of v, vt
// and f lines are skipped, and a figure of more vertices or triangles than
// the program's head files hold is refused. keywords: the application's
// (group and material name patterns).
bool ParseObj(std::string_view bytes, const svc::AppState& keywords, ObjImport& out, std::string& reason);
// The new head from the buffers (assembled, octree filled, unmirrored).
void BuildObjHead(ObjImport& in);
// The 1024 x 1024 texture: the first of <name>.jpg, .bmp, .tif, .png (in
// any case) that opens, grey when it does not decode or none does; the
// 4 x 4 marker in the first corner.
void LoadObjTexture(const std::string& objPath, ObjImport& in);

inline constexpr int kImportTextureSize = 1024;

// All of it from a file.
bool LoadOBJFile(const std::string& path, bool withTexture, const svc::AppState& keywords, ObjImport& out,
                 std::string& reason);

}  // namespace files
