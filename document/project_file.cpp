#include "document/project_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "document/c_format.h"
#include "document/model_scope.h"
#include "document/record_limit.h"
#include "document/safe_save.h"
#include "fitting/kernel2d.h"
#include "framework/datetime.h"
#include "framework/paths.h"
#include "framework/resources.h"
#include "picture/textexception.h"

namespace files {

namespace {

constexpr const char* kSeparator = "==========";

bool validStage(int stage) { return stage == 0 || stage == 1000 || stage == 2000 || stage == 2500; }

// The reading side: a memory stream, the first reason given, and checks of
// counts against what is left.
class Reader {
public:
    Reader(std::string_view bytes, std::string& reason) : reason_(reason) {
        f.open(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    }
    bool refuse(const std::string& why) {
        if (reason_.empty()) reason_ = why;
        f.fail();
        return false;
    }
    // Whether the stream is still good; else the reason is the section's.
    bool ok(const char* section) {
        if (f.good()) return true;
        return refuse(cformat("%s: the file ends or does not read there", section));
    }
    // Whether count values of the given least sizes can still follow.
    bool fits(const char* section, int64_t count, int binaryBytes, const char* what) {
        int64_t least = count * (f.text() ? 2 : binaryBytes);
        if (count >= 0 && least <= int64_t(std::min<std::size_t>(f.remaining(), INT64_MAX))) return true;
        return refuse(cformat("%s: %lld %s expected, %zu bytes left", section, (long long)count, what, f.remaining()));
    }
    // Nothing but layout may follow a text section, nothing at all a binary one.
    bool atEnd(const char* after) {
        std::size_t left = f.remaining();
        if (f.text()) {
            unsigned char ch;
            std::size_t extra = 0;
            while (f.remaining() > 0 && f.readBlock(&ch, 1))
                if (ch != ' ' && ch != '\t' && ch != '\r' && ch != '\n') ++extra;
            if (extra == 0) return true;
        } else if (left == 0) {
            return true;
        }
        return refuse(cformat("%zu bytes after %s", left, after));
    }
    fnd::fileTB f;

private:
    std::string& reason_;
};

// Reads a binary string up to its zero byte, bounded only by the file.
bool readBinaryString(fnd::fileTB& f, std::string& out) {
    out.clear();
    for (;;) {
        char ch;
        if (!f.readBlock(&ch, 1)) return false;
        if (ch == 0) return true;
        out += ch;
    }
}

void replaceAll(std::string& s, char from, char to) {
    for (char& c : s)
        if (c == from) c = to;
}

bool readMarks(Reader& r, ProjectRecord& rec, const char* section) {
    rec.marks = std::make_unique<head2>();
    rec.marks->read_version2(r.f);
    return r.ok(section);
}

bool readViews(Reader& r, ProjectRecord& rec) {
    rec.frame.read(r.f);
    if (!r.ok("section 8 (frame)")) return false;
    for (int i = 0; i < 4; ++i) {
        // A damaged section fails the stream.
        rec.views[i].read(r.f);
        if (i == kViewEdit2D3D) rec.overlay.read(r.f);
        if (!r.ok(cformat("section 9 (%s)", kViewNames[i]).c_str())) return false;
    }
    return true;
}

bool readPhotoBytes(Reader& r, ProjectRecord& rec, const char* section) {
    int n = -1;
    r.f >> n;
    if (!r.ok(section)) return false;
    if (!r.fits(section, n, 1, "photo bytes")) return false;
    rec.photo.bytes.resize(std::size_t(n));
    if (r.f.text()) {
        for (int i = 0; i < n && r.f.good(); ++i) {
            char ch = 0;
            r.f >> ch;
            rec.photo.bytes[std::size_t(i)] = static_cast<uint8_t>(ch);
        }
    } else if (n > 0) {
        r.f.readBlock(rec.photo.bytes.data(), std::size_t(n));
    }
    rec.hasPhoto = true;
    return r.ok(section);
}

bool readNotes(Reader& r, ProjectRecord& rec, const char* section) {
    if (r.f.text()) {
        fnd::istring s;
        r.f >> s;
        rec.notes = s.str();
    } else {
        readBinaryString(r.f, rec.notes);
    }
    replaceAll(rec.notes, '|', '_');
    return r.ok(section);
}

bool checkTextureSize(Reader& r, int size) {
    if (size >= 1 && size <= kMaxTextureSize) return true;
    return r.refuse(cformat("section 14: texture size %d outside 1..%d", size, kMaxTextureSize));
}

// Template 100 keeps its whole head in the file.
bool readOwnHead(Reader& r, ProjectRecord& rec, const char* section) {
    rec.head = std::make_unique<head3>();
    rec.head->noTopology = rec.stage > 2000;
    rec.head->tablesTarget = &rec.tables;
    rec.head->read(r.f, rec.stage == 1000);
    rec.head->tablesTarget = nullptr;
    if (!r.f.good()) return r.refuse(cformat("%s: the head of template 100 does not read", section));
    return true;
}

bool readHeadSections(Reader& r, ProjectRecord& rec, int64_t nV, int64_t nT, int templateId) {
    const int64_t ts = rec.textureSize;
    const int64_t texBytes = ts * ts * 3;
    HeadSections& s = rec.sections;
    auto name = [&] {
        return cformat("template %d (%lld vertices, %lld triangles)", templateId, (long long)nV, (long long)nT);
    };
    if (!r.f.text()) {
        const int64_t need18 = nV * 3 * 4, need19 = nT * 12 * 4;
        const int64_t left = int64_t(r.f.remaining());
        if (left < need18)
            return r.refuse(cformat("section 18: %lld vertex bytes expected for %s, %lld left", (long long)need18,
                                   name().c_str(), (long long)left));
        if (left - need18 < need19)
            return r.refuse(cformat("section 19: %lld triangle bytes expected for %s, %lld left", (long long)need19,
                                   name().c_str(), (long long)(left - need18)));
        const int64_t forTexture = left - need18 - need19;
        if (forTexture < texBytes)
            return r.refuse(cformat("section 20: %lld texture bytes expected, %lld left", (long long)texBytes,
                                   (long long)forTexture));
        if (forTexture > texBytes)
            return r.refuse(cformat("section 20: %lld bytes after the texture of %lld x %lld for %s",
                                   (long long)(forTexture - texBytes), (long long)ts, (long long)ts,
                                   name().c_str()));
    } else {
        // Text: each number takes at least two bytes.
        const int64_t least = (nV * 3 + nT * 12 + texBytes) * 2;
        if (least > int64_t(r.f.remaining()))
            return r.refuse(cformat("sections 18-20: %lld values expected for %s and a texture of %lld x %lld, "
                                   "%zu bytes left",
                                   (long long)(nV * 3 + nT * 12 + texBytes), name().c_str(), (long long)ts,
                                   (long long)ts, r.f.remaining()));
    }
    s.positions.resize(std::size_t(nV * 3));
    for (float& v : s.positions) r.f >> v;
    if (!r.ok("section 18")) return false;
    s.points2D.resize(std::size_t(nT * 12));
    for (float& v : s.points2D) r.f >> v;
    if (!r.ok("section 19")) return false;
    s.texture.resize(std::size_t(texBytes));
    if (r.f.text()) {
        for (unsigned char& c : s.texture) r.f >> c;
    } else {
        r.f.readBlock(s.texture.data(), s.texture.size());
    }
    if (!r.ok("section 20")) return false;
    s.present = true;
    return r.atEnd(cformat("the texture of %s", name().c_str()).c_str());
}

// The photo as the document rebuilds it: decoded, turned, mirrored and
// cropped (before scaling to the working height).
bool decodePhoto(Reader& r, ProjectRecord& rec, const char* section) {
    if (rec.photo.bytes.empty()) return true;
    CKernel2D scratch(nullptr);
    scratch.SetFileBytes(rec.photo.bytes);
    const int32_t* v = rec.photo.values;
    scratch.left = v[0], scratch.top = v[1], scratch.right = v[2], scratch.bottom = v[3];
    scratch.quarterTurns = v[4], scratch.mirrorLeftRight = v[5], scratch.mirrorTopBottom = v[6];
    scratch.loadLeft = v[7], scratch.loadTop = v[8], scratch.loadRight = v[9], scratch.loadBottom = v[10];
    try {
        // Bytes that are no picture rebuild nothing (width 0).
        if (scratch.LoadOrigBmp(&rec.photoPicture, 2, 0, 0) <= 0)
            return r.refuse(cformat("%s: the photo bytes do not decode", section));
    } catch (const CTextException& e) {
        return r.refuse(cformat("%s: the photo bytes do not decode (%s)", section, e.GetErrorText()));
    } catch (...) {
        return r.refuse(cformat("%s: the photo bytes do not decode", section));
    }
    // The PNG decoder reports a file it cannot read by a 1 x 1 picture.
    const auto& b = rec.photo.bytes;
    bool png = b.size() >= 24 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G';
    bool pngOfOnePixel = png && b[19] == 1 && b[23] == 1 && b[16] == 0 && b[17] == 0 && b[18] == 0 && b[20] == 0 &&
                         b[21] == 0 && b[22] == 0;
    int w = rec.photoPicture.GetWidth(), h = rec.photoPicture.GetHeight();
    if (w < 1 || h < 1 || (png && w == 1 && h == 1 && !pngOfOnePixel))
        return r.refuse(cformat("%s: the photo bytes do not decode", section));
    rec.photoDecoded = true;
    const int32_t crop[4] = {scratch.left, scratch.top, scratch.right, scratch.bottom};
    std::copy(crop, crop + 4, rec.photoCrop);
    return true;
}

bool readHeader(Reader& r, ProjectRecord& rec, double& version) {
    r.f >> rec.version;
    if (!r.f.good() || !std::isfinite(rec.version)) return r.refuse("header: no version number");
    version = rec.version - 0.005;
    r.f >> rec.stage;
    fnd::istring type, separator;
    r.f >> type >> separator;
    if (!r.ok("header")) return false;
    if (!validStage(rec.stage)) return r.refuse(cformat("header: stage %d is none of 0, 1000, 2000, 2500", rec.stage));
    rec.typeCode = type.str();
    return true;
}

bool parseOld(Reader& r, const ProjectParseOptions& options, ProjectRecord& rec);

bool parseCurrent(Reader& r, const ProjectParseOptions& options, ProjectRecord& rec) {
    const bool keep = options.keep;
    if (keep && (rec.typeCode.size() < 7 || rec.typeCode[6] != 'U'))
        return r.refuse("header: not a file of a kept state (no \"U\" in the type code)");
    rec.photoNumber = keep && rec.typeCode.size() > 3 && rec.typeCode[3] != '-' ? rec.typeCode[3] - '0' : 0;

    r.f.setMode("b");
    if (!LoadBMP(r.f, rec.preview)) return r.refuse("section 5: the preview does not read");
    r.f.setMode("t");
    r.f >> rec.templateId;
    if (!r.ok("section 6")) return false;
    if (!keep && rec.templateId != 100) {
        std::string why;
        rec.head = options.loadTemplate ? options.loadTemplate(rec.templateId, rec.tables, why) : nullptr;
        if (!rec.head) return r.refuse(cformat("section 6: template %d: %s", rec.templateId, why.c_str()));
    }
    r.f.setMode("b");
    if (!readMarks(r, rec, "section 7 (marks)")) return false;
    if (!readViews(r, rec)) return false;
    if (!keep || rec.stage == 2500) {
        if (!readPhotoBytes(r, rec, "section 10")) return false;
    }
    if (!readNotes(r, rec, "section 11")) return false;
    for (int32_t& v : rec.photo.values) r.f >> v;
    r.f >> rec.projectFlag >> rec.textureSize >> rec.mirrored;
    if (!r.ok("sections 12-15")) return false;
    if (!checkTextureSize(r, rec.textureSize)) return false;
    if (!r.fits("section 16", kReservedBytes, 1, "reserved bytes")) return false;
    unsigned char reserved[kReservedBytes];
    r.f.readBlock(reserved, sizeof reserved);
    if (!r.ok("section 16")) return false;

    if (rec.templateId == 100 && !readOwnHead(r, rec, "section 17")) return false;

    if (rec.stage == 2500) {
        int nV = options.presentVertices, nT = options.presentTriangles;
        if (rec.head) nV = rec.head->vertices.count(), nT = rec.head->triangles.count();
        if (nV < 0 || nT < 0) return r.refuse("sections 18-20: no head to take the stored vertices");
        if (!readHeadSections(r, rec, nV, nT, rec.templateId)) return false;
        if (rec.head) ApplyHeadSections(rec.sections, rec.textureSize, *rec.head);
    } else if (!r.atEnd(rec.templateId == 100 ? "the head" : "section 16")) {
        return false;
    }
    if (options.decodePhoto && !decodePhoto(r, rec, "section 10")) return false;
    return true;
}

bool parseInto(std::string_view bytes, const ProjectParseOptions& options, ProjectRecord& rec, std::string& reason) {
    Reader r(bytes, reason);
    if (!r.f.good()) return r.refuse("empty file");
    double version = 0;
    if (!readHeader(r, rec, version)) return false;
    // Versions are stored through single precision: 3.405 reads as 3.4049999.
    if (version < 3.4 - 1e-4) {
        if (!(version > 2.9 + 1e-4)) return r.refuse(cformat("version %.3f is older than 2.905", rec.version));
        return parseOld(r, options, rec);
    }
    return parseCurrent(r, options, rec);
}

// ---- the older layout ----

// An int count with the mode bits of the older writer: bit 31 binary, bit
// 30 an extra int before each entry, the rest the count.
struct ModeCount {
    int count = 0;
    bool extra = false;
};

bool readModeCount(Reader& r, const char* section, ModeCount& mc) {
    int word = 0;
    r.f >> word;
    if (!r.ok(section)) return false;
    uint32_t bits = uint32_t(word);
    r.f.setMode(bits & 0x80000000u ? "b" : "t");
    mc.count = int(bits & 0x3FFFFFFFu);
    mc.extra = bits & 0x40000000u;
    return r.ok(section);
}

template <class T>
bool dropValues(Reader& r, const char* section, int64_t n, int binaryBytes) {
    if (!r.fits(section, n, binaryBytes, "values")) return false;
    T v{};
    for (int64_t i = 0; i < n && r.f.good(); ++i) r.f >> v;
    return r.ok(section);
}

bool dropStrings(Reader& r, const char* section, int n) {
    for (int i = 0; i < n && r.f.good(); ++i) {
        if (r.f.text()) {
            fnd::istring s;
            r.f >> s;
        } else {
            std::string s;
            readBinaryString(r.f, s);
        }
    }
    return r.ok(section);
}

// Items 4 to 6 of the older layout: the settings no reader keeps.
bool dropOldSettings(Reader& r) {
    {
        long l[4];
        int i;
        double d[4];
        r.f >> l[0] >> l[1] >> l[2] >> l[3] >> i >> d[0] >> d[1] >> d[2] >> d[3];
        if (!r.ok("item 4")) return false;
    }
    ModeCount list;
    if (!readModeCount(r, "item 5", list)) return false;
    if (!dropValues<int>(r, "item 5", int64_t(list.count) * (list.extra ? 2 : 1), 4)) return false;
    if (!dropValues<double>(r, "item 6", 6, 4) || !dropStrings(r, "item 6", 3)) return false;
    int i;
    double d[2];
    r.f >> i >> d[0] >> d[1];
    return r.ok("item 6");
}

// Item 11 of the older layout: two strings, two ints, a square table of
// bytes and two lists of ints.
bool dropOldTables(Reader& r) {
    if (!dropStrings(r, "item 11", 2) || !dropValues<int>(r, "item 11", 2, 4)) return false;
    int k = 0;
    r.f >> k;
    if (!r.ok("item 11")) return false;
    if (k < 0 || k > 65536) return r.refuse(cformat("item 11: table side %d", k));
    if (!dropValues<unsigned char>(r, "item 11", int64_t(k) * k, 1)) return false;
    for (int pass = 0; pass < 2; ++pass) {
        int m = 0;
        r.f >> m;
        if (!r.ok("item 11")) return false;
        if (!dropValues<int>(r, "item 11", m, 4)) return false;
    }
    return true;
}

// Item 12 of the older layout: a table of rows when its flag is set.
bool dropOldRows(Reader& r) {
    int table = 0;
    r.f >> table;
    if (!r.ok("item 12")) return false;
    if (table == 0) return true;
    ModeCount rows;
    if (!readModeCount(r, "item 12", rows)) return false;
    int columns = 0;
    r.f >> columns;
    if (!r.ok("item 12")) return false;
    if (!dropValues<int>(r, "item 12", rows.extra ? columns : 0, 4)) return false;
    if (!r.fits("item 12", rows.count, 4, "rows")) return false;
    for (int i = 0; i < rows.count && r.f.good(); ++i) {
        int e;
        double d;
        if (rows.extra) r.f >> e;
        r.f >> d;
    }
    return r.ok("item 12");
}

bool parseOld(Reader& r, const ProjectParseOptions& options, ProjectRecord& rec) {
    rec.oldLayout = true;
    rec.projectFlag = 0;
    rec.textureSize = 1024;
    rec.templateId = 0;
    r.f.setMode("b");
    if (!LoadBMP(r.f, rec.preview)) return r.refuse("item 1: the preview does not read");
    r.f.setMode("t");
    r.f >> rec.templateId;
    if (!r.ok("item 2")) return false;
    if (rec.templateId != 100) {
        std::string why;
        rec.head = options.loadTemplate ? options.loadTemplate(rec.templateId, rec.tables, why) : nullptr;
        if (!rec.head) return r.refuse(cformat("item 2: template %d: %s", rec.templateId, why.c_str()));
    }
    r.f.setMode("b");
    if (!readMarks(r, rec, "item 3 (marks)") || !dropOldSettings(r)) return false;
    if (!readViews(r, rec)) return false;
    if (!readPhotoBytes(r, rec, "item 8")) return false;
    if (!dropValues<double>(r, "item 9", 38, 4)) return false;
    if (!readNotes(r, rec, "item 10")) return false;
    if (!dropOldTables(r) || !dropOldRows(r)) return false;
    {
        CWinBmp working;
        if (!LoadBMP(r.f, working)) return r.refuse("item 13: the bitmap does not read");
        rec.workingWidth = working.GetWidth();
        rec.workingHeight = working.GetHeight();
    }
    if (!dropValues<double>(r, "item 14", 4, 4)) return false;
    for (int32_t& v : rec.photo.values) r.f >> v;
    if (!r.ok("item 14")) return false;
    r.f >> rec.projectFlag;
    {
        int i;
        char c[2];
        r.f >> i >> c[0] >> c[1];
    }
    r.f >> rec.textureSize;
    if (!r.ok("item 15")) return false;
    if (rec.textureSize < 1) rec.textureSize = 1024;
    if (!checkTextureSize(r, rec.textureSize)) return false;
    if (!dropValues<unsigned char>(r, "item 15", kReservedBytes, 1)) return false;
    if (rec.templateId == 100) {
        if (!readOwnHead(r, rec, "item 16")) return false;
    }
    if (!r.atEnd(rec.templateId == 100 ? "the head" : "item 15")) return false;
    if (options.decodePhoto && !decodePhoto(r, rec, "item 8")) return false;
    return true;
}

}  // namespace

// ---- type code ----

char PictureFormatLetter(const std::vector<uint8_t>& b) {
    if (b.empty()) return '-';
    char letter = '-';
    auto at = [&](std::size_t i, char c) { return b.size() > i && b[i] == uint8_t(c); };
    if (at(6, 'J') && at(7, 'F')) letter = 'J';
    if (at(0, 'B') && at(1, 'M')) letter = 'B';
    if (at(0, 'G') && at(1, 'I')) letter = 'G';
    if (at(1, 'P') && at(2, 'N')) letter = 'P';
    if (at(1, 'I') && at(2, 'I')) letter = 'T';
    if (at(1, 'M') && at(2, 'M')) letter = 'T';
    return letter;
}

std::string BrivantaType(const TypeCodeInputs& in, const std::vector<uint8_t>& photoBytes) {
    const svc::AppState& app = svc::app().state();
    std::string t(8, '\0');
    t[0] = 'I';
    t[1] = in.platform;
    t[2] = app.dazMode ? 'D' : app.pictureEditor ? 'S' : 'B';
    t[3] = char('0' + in.photoNumber);
    t[4] = PictureFormatLetter(photoBytes);
    t[5] = in.firstRecord ? 'O' : 'R';
    t[6] = ' ';
    return t;
}

std::string DateString() { return std::string(CTime::GetCurrentTime().Format("%m/%d/%y").View()); }

// ---- template heads ----

std::unique_ptr<head3> LoadTemplateHead(int templateId, svc::FaceTables& tables, std::string& reason) {
    int id = templateId;
    if (svc::app().state().pictureEditor && id != 122) id = 121;
    std::span<const unsigned char> bytes;
    for (int candidate : {id, 1, 101}) {
        bytes = brv::ResourceBytes("TEMPLATE", unsigned(candidate));
        if (bytes.data()) {
            id = candidate;
            break;
        }
    }
    if (!bytes.data()) {
        reason = "no such built-in template";
        return nullptr;
    }
    auto head = ReadTemplateBytes(bytes, tables);
    if (!head) reason = cformat("built-in template %d does not read", id);
    return head;
}

namespace {

// The token indexes of the built-in templates read so far, by their bytes:
// a built-in template is part of the program, so its text is scanned and
// its numbers converted once (the resources laid over it in tests are not
// kept).
std::map<const unsigned char*, std::unique_ptr<fnd::TokenIndex>>& templateTokens() {
    static std::map<const unsigned char*, std::unique_ptr<fnd::TokenIndex>> kept;
    return kept;
}

const fnd::TokenIndex* builtInTokens(std::span<const unsigned char> bytes) {
    std::size_t count = 0;
    const brv::EmbeddedResource* all = brv::EmbeddedResources(&count);
    const bool builtIn = std::any_of(all, all + count, [&](const brv::EmbeddedResource& r) {
        return r.begin == bytes.data() && std::size_t(r.end - r.begin) == bytes.size();
    });
    if (!builtIn || !bytes.data()) return nullptr;
    std::unique_ptr<fnd::TokenIndex>& index = templateTokens()[bytes.data()];
    if (!index) index = std::make_unique<fnd::TokenIndex>(bytes.data(), bytes.size());
    return index.get();
}

}  // namespace

void ForgetTemplateTokens() { templateTokens().clear(); }

std::unique_ptr<head3> ReadTemplateBytes(std::span<const unsigned char> bytes, svc::FaceTables& tables) {
    CurrentModelScope scope;
    auto head = std::make_unique<head3>();
    fnd::fileTB f;
    f.open(bytes.data(), bytes.size(), builtInTokens(bytes));
    svc::FaceTables read;
    head->tablesTarget = &read;
    head->read(f, true);
    head->tablesTarget = nullptr;
    if (!f.good()) return nullptr;
    head->BuildMirror();
    tables = std::move(read);
    return head;
}

// ---- applying sections 18 to 20 ----

void ApplyHeadSections(HeadSections& s, int textureSize, head3& head) {
    std::size_t k = 0;
    for (int v = head.vertices.first(); v != -1 && k + 2 < s.positions.size(); v = head.vertices.nextOf(v), k += 3)
        head.vertices[v].position = vector3<double>(s.positions[k], s.positions[k + 1], s.positions[k + 2]);
    k = 0;
    for (int t = head.triangles.first(); t != -1 && k + 11 < s.points2D.size(); t = head.triangles.nextOf(t)) {
        triangle& tr = head.triangles[t];
        for (vector2<double>* p : {&tr.texture[0], &tr.texture[1], &tr.texture[2], &tr.further[0], &tr.further[1],
                                   &tr.further[2]}) {
            *p = vector2<double>(s.points2D[k], s.points2D[k + 1]);
            k += 2;
        }
    }
    auto texture = std::make_unique<TextureImage>();
    texture->width = texture->height = textureSize;
    texture->rgb = std::move(s.texture);
    head.texture = std::move(texture);
    s.texture.clear();
}

// ---- parsing entries ----

bool ParseProject(std::string_view bytes, const ProjectParseOptions& options, ProjectRecord& out,
                  std::string& reason) {
    reason.clear();
    out = ProjectRecord();
    bool ok;
    {
        CurrentModelScope scope;
        ok = parseInto(bytes, options, out, reason);
    }
    // The heads read so far go only once the open project's are current again.
    if (!ok) out = ProjectRecord();
    return ok;
}

namespace {

// The bytes of a regular file, no more than it held when it was opened and at
// most limit of them. A larger file is refused when only the whole file will
// do (before anything is read), else cut at limit; whole: nothing was cut.
bool readRegularFile(const std::string& path, uint64_t limit, bool wholeOnly, std::string& bytes, bool& whole,
                     std::string& reason) {
    // Opened without waiting, so that a pipe or device is seen before any
    // read can block on it.
    const int fd = ::open(brv::PosixPath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = "not a regular file";
        return false;
    }
    whole = st.st_size >= 0 && uint64_t(st.st_size) <= limit;
    if (st.st_size < 0 || (wholeOnly && !whole)) {
        reason = cformat("%lld bytes: more than a file of the program holds", (long long)st.st_size);
        return false;
    }
    std::string read(std::size_t(std::min<uint64_t>(uint64_t(st.st_size), limit)), '\0');
    std::size_t got = 0;
    while (got < read.size()) {
        const ssize_t n = ::read(fd, read.data() + got, read.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            reason = std::strerror(errno);
            return false;
        }
        if (n == 0) break;
        got += std::size_t(n);
    }
    read.resize(got);
    bytes = std::move(read);
    return true;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& reason) {
    bool whole = false;
    return readRegularFile(path, kMaxFileBytes, true, bytes, whole, reason);
}

bool ReadFileStart(const std::string& path, std::size_t limit, std::string& bytes, bool& whole) {
    std::string reason;
    return readRegularFile(path, limit, false, bytes, whole, reason);
}

bool ReadProjectFile(const std::string& path, const ProjectParseOptions& options, ProjectRecord& out,
                     std::string& reason) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes, reason)) return false;
    return ParseProject(bytes, options, out, reason);
}

bool GetFileMainInfo(std::string_view bytes, CWinBmp& preview) {
    std::string reason;
    Reader r(bytes, reason);
    if (!r.f.good()) return false;
    ProjectRecord rec;
    double version = 0;
    if (!readHeader(r, rec, version)) return false;
    if (version >= 2.0 - 1e-4) {
        r.f.setMode("b");
        CWinBmp read;
        if (!LoadBMP(r.f, read)) return false;
        preview = read;
    } else {
        preview.Create(1, 1, 32, false);
        preview.SetPixel(0, 0, CPixel32(255, 255, 255, 0));
    }
    return true;
}

bool GetFileMainInfo(const std::string& path, CWinBmp& preview) {
    std::string bytes, reason;
    if (!ReadWholeFile(path, bytes, reason)) return false;
    return GetFileMainInfo(std::string_view(bytes), preview);
}

// ---- writing ----

namespace {

// What a project of the record's stage and template must carry: a head
// within the record limits, at 2500 with its texture.
bool writable(const ProjectRecord& rec, const head3* head, std::string& reason) {
    if (!validStage(rec.stage)) {
        reason = cformat("stage %d is none of 0, 1000, 2000, 2500", rec.stage);
        return false;
    }
    if (rec.textureSize < 1 || rec.textureSize > kMaxTextureSize) {
        reason = cformat("texture size %d outside 1..%d", rec.textureSize, kMaxTextureSize);
        return false;
    }
    if ((rec.stage == 2500 || rec.templateId == 100) && !head) {
        reason = "no head to save";
        return false;
    }
    if ((rec.stage == 2500 || rec.templateId == 100) && !WithinRecordLimit(*head, reason)) return false;
    const std::size_t texBytes = std::size_t(rec.textureSize) * rec.textureSize * 3;
    if (rec.stage == 2500 && (!head->texture || head->texture->width != rec.textureSize ||
                              head->texture->height != rec.textureSize || head->texture->rgb.size() < texBytes)) {
        reason = cformat("the head has no texture of %d x %d", rec.textureSize, rec.textureSize);
        return false;
    }
    return true;
}

// The modelled head's part: vertex positions, the triangles' texture and
// further points, and the texture's pixels.
void writeModelledHead(fnd::fileTB& f, const head3& head, std::size_t texBytes) {
    for (int v = head.vertices.first(); v != -1; v = head.vertices.nextOf(v)) {
        const vector3<double>& p = head.vertices[v].position;
        f << p.x << p.y << p.z;
    }
    for (int t = head.triangles.first(); t != -1; t = head.triangles.nextOf(t)) {
        const triangle& tr = head.triangles[t];
        for (const vector2<double>* p :
             {&tr.texture[0], &tr.texture[1], &tr.texture[2], &tr.further[0], &tr.further[1], &tr.further[2]})
            f << p->x << p->y;
    }
    if (f.text()) {
        for (std::size_t i = 0; i < texBytes; ++i) f << head.texture->rgb[i];
    } else {
        f.writeBlock(head.texture->rgb.data(), texBytes);
    }
}

}  // namespace

bool WriteProject(const ProjectRecord& rec, const ProjectWriteInputs& in, std::string& bytes, std::string& reason) {
    const head3* head = in.head ? in.head : rec.head.get();
    const svc::FaceTables* tables = in.tables ? in.tables : &rec.tables;
    if (!writable(rec, head, reason)) return false;
    const std::size_t texBytes = std::size_t(rec.textureSize) * rec.textureSize * 3;
    bytes.clear();
    if (rec.stage == 2500) bytes.reserve(texBytes + (1u << 20) + rec.photo.bytes.size());
    CurrentModelScope scope;
    fnd::fileTB f;
    f.open(&bytes, "wt");
    f << kProjectVersion << rec.stage;
    std::string type = BrivantaType(in.type, rec.photo.bytes);
    type[6] = in.keep ? 'U' : 'N';
    type[7] = ' ';
    type += DateString();
    f << fnd::ostring(type) << fnd::ostring(kSeparator);
    f.setMode("b");
    SaveBMP(f, const_cast<CWinBmp&>(rec.preview));
    f.setMode("t");
    f.newLine();
    f << rec.templateId;
    f.setMode("b");
    if (rec.marks) {
        rec.marks->write(f);
    } else {
        head2 empty;
        empty.write(f);
    }
    f.newLine();
    rec.frame.write(f);
    for (int i = 0; i < 4; ++i) {
        f.newLine();
        rec.views[i].write(f);
        if (i == kViewEdit2D3D) rec.overlay.write(f);
    }
    if (!in.keep || rec.stage == 2500) {
        int n = int(rec.photo.bytes.size());
        f << n;
        f.writeBlock(rec.photo.bytes.data(), rec.photo.bytes.size());
    }
    std::string notes = rec.notes;
    replaceAll(notes, '_', '|');
    f << fnd::ostring(notes);
    for (int32_t v : rec.photo.values) f << int(v);
    f << rec.projectFlag << rec.textureSize << rec.mirrored;
    const unsigned char zeros[kReservedBytes] = {};
    f.writeBlock(zeros, sizeof zeros);
    if (rec.templateId == 100) head->write(f, tables);
    if (rec.stage == 2500) writeModelledHead(f, *head, texBytes);
    if (!f.good()) {
        reason = "the project could not be written";
        return false;
    }
    f.close();
    return true;
}

bool SaveProject(const std::string& path, const ProjectRecord& record, const ProjectWriteInputs& in,
                 std::string& reason) {
    std::string bytes;
    if (!WriteProject(record, in, bytes, reason)) return false;
    return SafeSave(path, bytes, &reason);
}

}  // namespace files
