#pragma once
// The project file (.fac): parse, then apply. ParseProject reads the bytes
// of a file into a ProjectRecord of its own (marks, sections, photo bytes
// decoded, the head with its tables and stored vertices and texture) and
// checks every size against the bytes left and that the file ends where it
// should; nothing of the open project changes. The document then takes the
// record over. WriteProject turns a record and the present head into the
// file's bytes; SaveProject writes them safely.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "document/view_sections.h"
#include "model/head.h"
#include "picture/winbmp.h"
#include "seams/app.h"

namespace files {

inline constexpr double kProjectVersion = 3.53;
inline constexpr int kMaxTextureSize = 8192;
inline constexpr int kReservedBytes = 449;

// Bytes and start-page values of the photo in use.
struct PhotoRecord {
    std::vector<uint8_t> bytes;
    // left, top, right, bottom, quarter turns, mirror left-right, mirror
    // top-bottom, and the load-time left, top, right, bottom.
    int32_t values[11] = {};
};

// What sections 18 to 20 hold: per vertex and triangle in chain order.
struct HeadSections {
    std::vector<float> positions;  // x, y, z per vertex
    std::vector<float> points2D;   // twelve per triangle: texture[0..2], further[0..2]
    std::vector<unsigned char> texture;  // textureSize^2 x 3, RGB
    bool present = false;
};

struct ProjectRecord {
    double version = kProjectVersion;
    int stage = 0;
    std::string typeCode;   // as stored: eight characters and the date
    int photoNumber = 0;    // position 3 of the type code (kept-state reads only)
    CWinBmp preview;
    int templateId = 0;
    std::unique_ptr<head2> marks;
    FrameSection frame;
    ViewSection views[4];
    OverlaySection overlay;
    bool hasPhoto = false;  // section 10 present
    PhotoRecord photo;
    std::string notes;
    unsigned char projectFlag = 0;
    int textureSize = 512;
    int mirrored = 0;

    // Reading only: the head (the template, or the file's own with
    // template 100) with the file's vertices, 2D points and texture in it,
    // its tables, and the photo decoded as the working picture before
    // scaling (crop, turns and mirrors applied).
    std::unique_ptr<head3> head;
    svc::FaceTables tables;
    HeadSections sections;  // kept-state reads: for the present head
    bool photoDecoded = false;
    CWinBmp photoPicture;
    int32_t photoCrop[4] = {};  // left, top, right, bottom as the decoding kept them
    bool oldLayout = false;
    int workingWidth = 0, workingHeight = 0;  // old layout: the working size
};

// Type code letters of the writer.
struct TypeCodeInputs {
    char platform = 'W';
    int photoNumber = 0;
    bool firstRecord = true;  // "O", else "R" (during a refinement)
};

// The eight characters: "I", platform, mode letter (D / S / B from the
// application's modes), '0' + photo number, picture-format letter of the
// bytes, O/R, then blank and the end (SaveFACFile fills 6 and 7).
std::string BrivantaType(const TypeCodeInputs& in, const std::vector<uint8_t>& photoBytes);
// "JF" at 6, "BM", "GI", "PN" at 1, "II", "MM": J B G P T T, else "-".
char PictureFormatLetter(const std::vector<uint8_t>& bytes);
// Today by the framework's clock as the runtime writes it: "03/07/05".
std::string DateString();

// Builds the head of a template id (the built-in TEMPLATE resources, with
// the fall-backs 1 and 101) with its tables; null with a reason when none.
using TemplateLoader =
    std::function<std::unique_ptr<head3>(int templateId, svc::FaceTables& tables, std::string& reason)>;
std::unique_ptr<head3> LoadTemplateHead(int templateId, svc::FaceTables& tables, std::string& reason);
// A head in the model text format from a built-in resource, read once beside
// the present head (which stays current), marked unmirrored; null when it
// does not read, with tables untouched.
std::unique_ptr<head3> ReadTemplateBytes(std::span<const unsigned char> bytes, svc::FaceTables& tables);
// A built-in template's text is scanned once and its tokens kept; tests can
// have them scanned again.
void ForgetTemplateTokens();

struct ProjectParseOptions {
    bool keep = false;  // kept-state read: merges into the present project
    // Kept-state reads of a stage-2500 file store sections 18 to 20 for the
    // present head, whose counts they must match.
    int presentVertices = -1;
    int presentTriangles = -1;
    TemplateLoader loadTemplate = LoadTemplateHead;
    bool decodePhoto = true;
};

// The record read from the bytes; false with a reason naming the section
// ("section 20: 3145728 texture bytes expected, 1000 left"). The heads it
// reads (template, marks) are made beside the open project's, which they
// do not touch.
bool ParseProject(std::string_view bytes, const ProjectParseOptions& options, ProjectRecord& out,
                  std::string& reason);
bool ReadProjectFile(const std::string& path, const ProjectParseOptions& options, ProjectRecord& out,
                     std::string& reason);

// The preview of a project file for the open dialog: the stored preview,
// or one white pixel for files before version 2.005. False when the file
// cannot be read.
bool GetFileMainInfo(std::string_view bytes, CWinBmp& preview);
bool GetFileMainInfo(const std::string& path, CWinBmp& preview);

// The stored vertices, 2D points and texture into a head with the counts
// they were checked against.
void ApplyHeadSections(HeadSections& sections, int textureSize, head3& head);

// What the writer takes besides the record: the present head with its
// tables (sections 17 to 20), the type-code letters and keep.
struct ProjectWriteInputs {
    const head3* head = nullptr;
    const svc::FaceTables* tables = nullptr;
    TypeCodeInputs type;
    bool keep = false;
};

// The file's bytes. Sections 7 to 16 are binary whatever mode the caller
// asks for. False with a reason when the head does not fit the record
// (stage 2500 without a texture of textureSize).
bool WriteProject(const ProjectRecord& record, const ProjectWriteInputs& in, std::string& bytes,
                  std::string& reason);
bool SaveProject(const std::string& path, const ProjectRecord& record, const ProjectWriteInputs& in,
                 std::string& reason);

// The largest file the readers take: a project with the largest texture
// and a photo of the largest picture fits.
inline constexpr uint64_t kMaxFileBytes = uint64_t(1) << 30;

// Reads a whole regular file, no more than it held when opened; false with
// the system's reason, for anything that is not a regular file, and for
// one above kMaxFileBytes.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& reason);
// The first bytes of a regular file, at most limit; whole: the file held no
// more than they.
bool ReadFileStart(const std::string& path, std::size_t limit, std::string& bytes, bool& whole);

}  // namespace files
