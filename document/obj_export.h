#pragma once
// The head as a Wavefront OBJ file in one of four variants, with its
// companion files: material file, texture picture, bump map and, in the
// DAZ mode, the MorphTransforms file. Every file is built in memory first
// and then saved safely; nothing global is read but the application's modes.

#include <string>
#include <utility>
#include <vector>

#include "model/head.h"
#include "seams/app.h"

class CWinBmp;

namespace files {

struct ObjExportInputs {
    const head3* head = nullptr;
    const svc::FaceTables* tables = nullptr;  // groups, materials, texture coordinates
    int variant = 1;                          // 1 plain, 2 figure, 3 mirrored, 4 age
    int templateId = 0;
    int textureSize = 0;  // the document's, for the counts line
    std::string notes;
    const CWinBmp* agePicture = nullptr;  // the bump map; none when empty
    bool dazMode = false;
    std::string objectName = "Untitled";  // the figure's source geometry
    double version = 5.0;
};

// path + bytes, the OBJ first.
using ExportFiles = std::vector<std::pair<std::string, std::string>>;

// Companion of an OBJ path: its ".obj" (any case) replaced by extension,
// or extension appended when the name has no ".obj".
std::string CompanionPath(const std::string& objPath, const char* extension);

// The files of one export; false with a reason (variant outside 1..4, head
// scale 0 or not finite).
bool BuildObjExport(const std::string& path, const ObjExportInputs& in, ExportFiles& out, std::string& reason);
// Builds and saves them as one set, replaced only when every file could be
// written. On failure reason is the system's reason and *failed (when
// given) the file that could not be written.
bool SaveOBJFile(const std::string& path, const ObjExportInputs& in, std::string& reason,
                 std::string* failed = nullptr);

}  // namespace files
