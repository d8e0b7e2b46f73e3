#pragma once
// Head files without the rest of the project: .the (the model text format)
// and .phs (vertices, triangles and texture colours line by line). Readers
// build a new head of their own beside the open project; the caller swaps
// it in. Every failure comes back with a reason and changes nothing.

#include <memory>
#include <string>
#include <string_view>

#include "model/head.h"
#include "seams/app.h"

class CKernel3D;

namespace files {

// The head kernel takes a head read aside in place of its own, which goes.
void InstallHead(CKernel3D& kernel, std::unique_ptr<head3> head);

// A head read from a file, with the tables its file held.
struct HeadRead {
    std::unique_ptr<head3> head;
    svc::FaceTables tables;
    bool tablesRead = false;  // .the files of version 3 carry tables
};

// The model text format. mode "t" or anything else ("b"): the head writer
// writes text either way; a binary stream starts with the mode switch's
// line break.
std::string WriteTHE(const head3& head, const svc::FaceTables* tables, const char* mode);
bool SaveTHEFile(const std::string& path, const head3& head, const svc::FaceTables* tables, const char* mode,
                 std::string& reason);
// As the template reader does (status 1000): the head assembled and marked
// unmirrored.
bool ParseTHE(std::string_view bytes, HeadRead& out, std::string& reason);
bool LoadTHEFile(const std::string& path, HeadRead& out, std::string& reason);

// "2 nV nT w h", vertex lines numbered in chain order, triangle lines by
// those numbers, texture rows in lines of at most 32 pixels. A head scale
// of 0 or one that is not finite is refused.
bool WritePHS(const head3& head, std::string& bytes, std::string& reason);
bool SavePHSFile2(const std::string& path, const head3& head, std::string& reason);
// Version 2 as written above (positions as written, scale 1, offset 0);
// version 1 through the model's PHS reader.
bool ParsePHS(std::string_view bytes, HeadRead& out, std::string& reason);
bool LoadPHSFile(const std::string& path, HeadRead& out, std::string& reason);

}  // namespace files
