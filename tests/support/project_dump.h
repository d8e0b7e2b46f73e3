#pragma once
// Readable dumps of what a file carries, for comparing a project, a head or
// the kernels before and after a round trip: equal dumps, equal content.
// Floating values are printed through single precision, as files keep them.

#include <string>

#include "document/project_file.h"

class CKernel2D;
class CFaceDoc;

namespace testsupport {

std::string DumpTables(const svc::FaceTables& tables);
// Vertices and triangles in chain order with positions, corners, 2D points,
// rows, groups, materials and partners; the texture by size and hash.
std::string DumpHead(const head3& head);
std::string DumpMarks(const head2& marks);
std::string DumpView(const files::ViewSection& v);
std::string DumpOverlay(const files::OverlaySection& v);
// The record: stage, ids, notes, start-page values, photo-bytes hash, marks,
// frame and views (views optional: a reload refits them), head, tables.
std::string DumpProject(const files::ProjectRecord& r, bool withViews = true);
// The photo kernel's part of a document (name, notes, values, bytes, marks).
std::string DumpPhotoKernel(const CKernel2D& k);

// What a document holds of a project file: stage, template, texture size,
// flag, photo number, the photo kernel, the head with its texture hash and
// the tables (the views are refitted on open and so left out).
std::string DumpDocument(CFaceDoc& doc);

uint64_t Fnv1a(const void* data, std::size_t n);

}  // namespace testsupport
