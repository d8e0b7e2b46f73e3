#include "document/obj_import.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

#include "document/c_format.h"
#include "document/model_scope.h"
#include "document/obj_export.h"
#include "document/project_file.h"
#include "document/record_limit.h"
#include "document/text_lines.h"
#include "framework/paths.h"
#include "picture/anypicdecoder.h"
#include "picture/png.h"
#include "picture/textexception.h"
#include "picture/winbmp.h"

namespace files {

namespace {

constexpr int kMaxCorners = 36;
constexpr std::size_t kNameCapacity = 127;

bool blank(char c) { return c == ' ' || c == '\t'; }

std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The line without leading blanks and tabs, trailing line breaks and blanks.
std::string_view trimmed(std::string_view line) {
    std::size_t a = 0, b = line.size();
    while (a < b && blank(line[a])) ++a;
    while (b > a && (line[b - 1] == '\r' || line[b - 1] == '\n' || blank(line[b - 1]))) --b;
    return line.substr(a, b - a);
}

// The keyword ends the line or is followed by a blank or tab.
bool keyword(std::string_view line, std::string_view word) {
    return line.substr(0, word.size()) == word && (line.size() == word.size() || blank(line[word.size()]));
}

std::string_view rest(std::string_view line, std::size_t n) {
    line.remove_prefix(std::min(n, line.size()));
    while (!line.empty() && blank(line.front())) line.remove_prefix(1);
    return line;
}

bool parseLong(std::string_view t, long& v) {
    if (t.size() > 1 && t[0] == '+' && t[1] != '-') t.remove_prefix(1);
    auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    return !t.empty() && r.ec == std::errc() && r.ptr == t.data() + t.size();
}

// A number field of a corner: empty (absent), else a number.
bool optionalLong(std::string_view t, long& v, bool& given) {
    given = !t.empty();
    return !given || parseLong(t, v);
}

// Numbers lines may end in a comment.
std::string_view withoutComment(std::string_view line) {
    std::size_t hash = line.find('#');
    if (hash == std::string_view::npos) return line;
    line = line.substr(0, hash);
    while (!line.empty() && blank(line.back())) line.remove_suffix(1);
    return line;
}

// Corners of a face line, at most kMaxCorners.
std::size_t cornerCount(std::string_view text) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size() && n < std::size_t(kMaxCorners);) {
        while (i < text.size() && blank(text[i])) ++i;
        if (i >= text.size()) break;
        ++n;
        while (i < text.size() && !blank(text[i])) ++i;
    }
    return n;
}

void setName(char (&name)[128], const std::string& text) {
    std::size_t n = std::min(text.size(), kNameCapacity);
    std::memcpy(name, text.data(), n);
    name[n] = 0;
}

template <class Row>
int findName(const fnd::dynarray<Row>& rows, const std::string& lower) {
    for (int i = 0; i < rows.size(); ++i)
        if (lowered(rows[i].name) == lower) return i;
    return -1;
}

// The row of that lower-case name, added when the table has none.
template <class Row>
int findOrAddName(fnd::dynarray<Row>& rows, const std::string& lower) {
    int found = findName(rows, lower);
    if (found < 0) {
        Row row;
        setName(row.name, lower);
        rows.add(row);
        found = rows.size() - 1;
    }
    return found;
}

bool containsLower(const char* name, const std::string& word) {
    return lowered(name).find(lowered(word)) != std::string::npos;
}

// Blanks become '_' except in the "~g " that joins consecutive group names.
void underscoreBlanks(char* name) {
    std::size_t n = std::strlen(name);
    for (std::size_t i = 0; i < n; ++i) {
        if (name[i] != ' ') continue;
        if (i >= 2 && name[i - 1] == 'g' && name[i - 2] == '~') continue;
        name[i] = '_';
    }
}

// Pictures beside a figure come from systems whose names ignore case
// ("Cube_up.JPG"): the name itself, else the first entry of its folder that
// equals it but for case.
std::string besideInAnyCase(const std::string& path) {
    const std::string posix = brv::PosixPath(path);
    struct stat st;
    if (::stat(posix.c_str(), &st) == 0) return path;
    const std::size_t slash = posix.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : posix.substr(0, slash + 1);
    const std::string wanted = lowered(slash == std::string::npos ? posix : posix.substr(slash + 1));
    std::vector<std::string> found;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(dir))
            if (lowered(e->d_name) == wanted) found.push_back(e->d_name);
        ::closedir(dir);
    }
    if (found.empty()) return path;
    std::sort(found.begin(), found.end());
    return (slash == std::string::npos ? "" : folder) + found.front();
}

}  // namespace

bool ScanTriangles(std::string_view text, std::vector<ObjCorner>& corners, std::vector<std::array<int, 3>>& fan,
                   std::string& reason) {
    corners.clear();
    fan.clear();
    std::size_t i = 0;
    while (i < text.size() && int(corners.size()) < kMaxCorners) {
        while (i < text.size() && blank(text[i])) ++i;
        if (i >= text.size()) break;
        std::size_t start = i;
        while (i < text.size() && !blank(text[i])) ++i;
        std::string_view word = text.substr(start, i - start);
        // v, v/t, v//n or v/t/n; as "%ld/%ld/%ld" reads them, a texture or
        // normal may be left out ("1/", "1/2/"), and a corner without a
        // texture number uses its vertex number.
        ObjCorner c;
        std::size_t s1 = word.find('/');
        std::size_t s2 = s1 == std::string_view::npos ? s1 : word.find('/', s1 + 1);
        bool good = parseLong(word.substr(0, s1), c.vertex);
        c.texture = c.vertex;
        if (s1 != std::string_view::npos) {
            std::string_view t = word.substr(s1 + 1, s2 == std::string_view::npos ? s2 : s2 - s1 - 1);
            long normal;
            bool given;
            good = good && optionalLong(t, c.texture, given);
            if (!given) c.texture = c.vertex;
            if (s2 != std::string_view::npos) good = good && optionalLong(word.substr(s2 + 1), normal, given);
        }
        if (!good) {
            reason = "corner \"" + std::string(word) + "\" is no vertex number";
            return false;
        }
        corners.push_back(c);
    }
    if (corners.size() < 3) {
        reason = cformat("face of %zu corners", corners.size());
        return false;
    }
    fan.push_back({0, 1, 2});
    for (int k = 1; k + 2 <= int(corners.size()) - 1; ++k) fan.push_back({k + 2, 0, k + 1});
    return true;
}

namespace {

// The bytes as whole lines; a byte-order mark is no part of the first.
std::vector<std::string_view> objLines(std::string_view bytes) {
    if (bytes.substr(0, 3) == std::string_view("\xEF\xBB\xBF", 3)) bytes.remove_prefix(3);
    std::vector<std::string_view> lines;
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t nl = bytes.find('\n', at);
        std::size_t end = nl == std::string_view::npos ? bytes.size() : nl;
        lines.push_back(bytes.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

// The file's vertices, texture coordinates and triangles in all, so that
// forward numbers can be checked.
struct ObjTotals {
    long vertices = 0, textures = 0, triangles = 0;
};

ObjTotals countObj(const std::vector<std::string_view>& lines) {
    ObjTotals n;
    for (std::string_view raw : lines) {
        std::string_view l = trimmed(raw);
        if (keyword(l, "v")) ++n.vertices;
        else if (keyword(l, "vt")) ++n.textures;
        else if (keyword(l, "f"))
            n.triangles += long(std::max<std::size_t>(cornerCount(withoutComment(rest(l, 1))), 2) - 2);
    }
    return n;
}

// The lines read one by one into the import: the group and material in
// force, and whether the line before was a group (a group line that follows
// one joins it).
class ObjReader {
public:
    ObjReader(ObjImport& out, const ObjTotals& totals) : out_(out), tb_(out.tables), totals_(totals) {}

    // False with the reason on a line the import cannot take.
    bool read(std::string_view l, std::string& why) {
        const bool isGroup = keyword(l, "g");
        bool good = true;
        if (keyword(l, "v"))
            good = vertex(l, why);
        else if (keyword(l, "vt"))
            good = textureRow(l, why);
        else if (keyword(l, "f"))
            good = face(l, why);
        else if (isGroup)
            groupLine(l);
        else if (keyword(l, "usemtl"))
            material_ = findOrAddName(tb_.materials, materialName(l));
        previousWasGroup_ = isGroup;
        return good;
    }

private:
    bool vertex(std::string_view l, std::string& why) {
        Tokens t(withoutComment(rest(l, 1)));
        double x, y, z;
        if (!t.number(x) || !t.number(y) || !t.number(z)) {
            why = "vertex of fewer than three numbers";
            return false;
        }
        head3::PNT p{};
        p.v[0] = float(x), p.v[1] = float(y), p.v[2] = float(z);
        out_.vertices.push_back(p);
        return true;
    }

    bool textureRow(std::string_view l, std::string& why) {
        Tokens t(withoutComment(rest(l, 2)));
        double u, v = 0;
        if (!t.number(u)) {
            why = "texture coordinate without a number";
            return false;
        }
        if (!t.atEnd() && !t.number(v)) {
            why = "texture coordinate that is no number";
            return false;
        }
        svc::TxtCoordinateRow row;
        row.u = u, row.v = v;
        tb_.txtCoordinates.add(row);
        return true;
    }

    // The face's fan of triangles; its vertex numbers must name vertices of
    // the file, its texture numbers outside the table mean no row.
    bool face(std::string_view l, std::string& why) {
        if (!ScanTriangles(withoutComment(rest(l, 1)), corners_, fan_, why)) return false;
        const long soFarV = long(out_.vertices.size()), soFarT = tb_.txtCoordinates.size();
        std::vector<int> vi(corners_.size()), ti(corners_.size());
        for (std::size_t k = 0; k < corners_.size(); ++k) {
            long v = corners_[k].vertex, index = v >= 1 ? v - 1 : v + soFarV;
            long limit = v >= 1 ? totals_.vertices : soFarV;
            if (v == 0 || index < 0 || index >= limit) {
                why = cformat("vertex %ld of %ld", v, limit);
                return false;
            }
            vi[k] = int(index);
            long t = corners_[k].texture, tIndex = t >= 1 ? t - 1 : t + soFarT;
            long tLimit = t >= 1 ? totals_.textures : soFarT;
            ti[k] = t != 0 && tIndex >= 0 && tIndex < tLimit ? int(tIndex) : -1;
        }
        const int firstIndex = int(out_.triangles.size());
        for (std::size_t f = 0; f < fan_.size(); ++f) {
            head3::TRI tri{};
            for (int k = 0; k < 3; ++k) {
                tri.v[k] = vi[std::size_t(fan_[f][k])];
                tri.v[3 + k] = ti[std::size_t(fan_[f][k])];
            }
            tri.v[6] = group_;
            tri.v[7] = material_;
            tri.v[8] = -1;
            out_.triangles.push_back(tri);
        }
        if (fan_.size() == 2) out_.triangles[std::size_t(firstIndex)].v[8] = firstIndex + 1;
        return true;
    }

    void groupLine(std::string_view l) {
        std::string name(l.size() > 1 ? rest(l, 1) : std::string_view(" "));
        if (name.empty()) name = " ";
        if (previousWasGroup_ && group_ < tb_.groups.size()) {
            std::string joined = std::string(tb_.groups[group_].name) + "~g " + lowered(name);
            setName(tb_.groups[group_].name, joined);
        } else {
            group_ = findOrAddName(tb_.groups, lowered(name));
        }
    }

    static std::string materialName(std::string_view l) {
        Tokens t(rest(l, 6));
        std::string_view word = t.next();
        return word.empty() ? std::string(" ") : lowered(word);
    }

    ObjImport& out_;
    svc::FaceTables& tb_;
    const ObjTotals& totals_;
    int group_ = 0, material_ = 0;
    bool previousWasGroup_ = false;
    std::vector<ObjCorner> corners_;
    std::vector<std::array<int, 3>> fan_;
};

// The head group and the face, lip and eye-socket materials the keywords
// choose (the first row when none matches); blanks in the names become "_".
void chooseRows(svc::FaceTables& tb, const svc::AppState& app) {
    tb.headGroup = tb.faceMaterial = tb.lipMaterial = tb.eyeSocketMaterial = -1;
    const std::string headWord = lowered(app.headGroupKeyword);
    for (int i = 0; i < tb.groups.size(); ++i) {
        std::string cut = lowered(tb.groups[i].name);
        cut = cut.substr(0, cut.find('~'));
        if (cut.compare(0, headWord.size(), headWord) == 0) tb.headGroup = i;
    }
    const bool oneGroup = tb.groups.size() == 1;
    for (int i = 0; i < tb.materials.size(); ++i) {
        const char* name = tb.materials[i].name;
        if (containsLower(name, app.faceKeyword))
            tb.faceMaterial = i;
        else if (tb.faceMaterial == -1 && containsLower(name, app.altFaceKeyword))
            tb.faceMaterial = i;
        if (containsLower(name, app.lipKeyword)) tb.lipMaterial = i;
        if (containsLower(name, app.eyeSocketKeyword)) tb.eyeSocketMaterial = i;
        if (oneGroup && containsLower(name, app.headGroupKeyword)) tb.faceMaterial = i;
    }
    for (int32_t* chosen : {&tb.headGroup, &tb.faceMaterial, &tb.lipMaterial, &tb.eyeSocketMaterial})
        if (*chosen < 0) *chosen = 0;
    if (oneGroup) tb.lipMaterial = tb.eyeSocketMaterial = tb.faceMaterial;
    for (int i = 0; i < tb.groups.size(); ++i) {
        tb.groups[i].value = {};
        underscoreBlanks(tb.groups[i].name);
    }
    for (int i = 0; i < tb.materials.size(); ++i) underscoreBlanks(tb.materials[i].name);
}

// Scaled to 100 on the box's largest edge, centred on the used vertices;
// false with the reason when there is nothing to scale.
bool scaleToHundred(ObjImport& out, std::string& reason) {
    if (out.vertices.empty()) {
        reason = "obj: no vertices";
        return false;
    }
    if (out.triangles.empty()) {
        reason = "obj: no faces";
        return false;
    }
    float lo[3], hi[3];
    for (int k = 0; k < 3; ++k) lo[k] = hi[k] = out.vertices[0].v[k];
    for (const head3::PNT& p : out.vertices)
        for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], p.v[k]), hi[k] = std::max(hi[k], p.v[k]);
    double edge = std::max({double(hi[0]) - lo[0], double(hi[1]) - lo[1], double(hi[2]) - lo[2]});
    if (!(edge > 0) || !std::isfinite(edge) || !std::isfinite(100 / edge)) {
        reason = "obj: the vertices have no extent";
        return false;
    }
    const double s = 100 / edge;
    for (const head3::TRI& t : out.triangles)
        for (int k = 0; k < 3; ++k) out.vertices[std::size_t(t.v[k])].v[6] = 1;
    double ulo[3] = {1e300, 1e300, 1e300}, uhi[3] = {-1e300, -1e300, -1e300};
    for (const head3::PNT& p : out.vertices) {
        if (p.v[6] == 0) continue;
        for (int k = 0; k < 3; ++k) ulo[k] = std::min(ulo[k], p.v[k] * s), uhi[k] = std::max(uhi[k], p.v[k] * s);
    }
    const double c[3] = {(ulo[0] + uhi[0]) / 2, (ulo[1] + uhi[1]) / 2, (ulo[2] + uhi[2]) / 2};
    for (head3::PNT& p : out.vertices)
        for (int k = 0; k < 3; ++k) p.v[k] = float(p.v[k] * s - c[k]);
    out.offset = vector3<double>(c[0], c[1], c[2]);
    out.scale = s;
    return true;
}

}  // namespace

bool ParseObj(std::string_view bytes, const svc::AppState& app, ObjImport& out, std::string& reason) {
    out = ObjImport();
    reason.clear();
    const std::vector<std::string_view> lines = objLines(bytes);
    const ObjTotals totals = countObj(lines);
    // The program's own head files must read back what it takes in.
    for (auto [count, what] : {std::pair{totals.vertices, "vertices"}, std::pair{totals.triangles, "triangles"}})
        if (count > maxStoredCount) {
            reason = RecordLimitReason(std::string("obj: ") + std::to_string(count) + " " + what);
            return false;
        }
    out.vertices.reserve(std::size_t(totals.vertices));
    ObjReader reader(out, totals);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        std::string why;
        if (!reader.read(trimmed(lines[n]), why)) {
            reason = cformat("obj line %d: %s", int(n) + 1, why.c_str());
            out = ObjImport();
            return false;
        }
    }
    chooseRows(out.tables, app);
    if (!scaleToHundred(out, reason)) {
        out = ObjImport();
        return false;
    }
    return true;
}

void BuildObjHead(ObjImport& in) {
    CurrentModelScope scope;
    in.head = std::make_unique<head3>();
    head3& h = *in.head;
    h.scale = in.scale;
    h.offset = in.offset;
    fnd::fileTB none;
    h.read_version1(none, int(in.vertices.size()), int(in.triangles.size()), in.vertices.data(),
                    in.triangles.data());
    h.status = 1;
    // A head from a file is a template like the built-in head: the photo
    // textures it (texture synthesis runs on heads of this flag only).
    h.secondFlag = 1;
    h.post_read(true);
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) h.vertices[v].loadPosition = h.vertices[v].position;
    h.SetMinMaxOctree(false);
    h.BuildMirror();
}

void LoadObjTexture(const std::string& objPath, ObjImport& in) {
    const int n = kImportTextureSize;
    CWinBmp picture;
    bool found = false;
    in.texturePicture.clear();
    for (const char* ext : {".jpg", ".bmp", ".tif", ".png"}) {
        std::string candidate = besideInAnyCase(CompanionPath(objPath, ext));
        if (std::FILE* f = std::fopen(brv::PosixPath(candidate).c_str(), "rb")) {
            std::fclose(f);
        } else {
            continue;
        }
        // The first picture that opens is the one; one that does not decode
        // gives the grey texture.
        try {
            if (std::string(ext) == ".png") {
                MakeBmpFromPNG(candidate.c_str(), &picture, 32);
                found = picture.GetWidth() > 1 || picture.GetHeight() > 1;
            } else {
                CAnyPicDecoder decoder;
                decoder.MakeBmpFromFile(candidate.c_str(), &picture, 32);
                found = picture.GetWidth() > 0 && picture.GetHeight() > 0;
            }
        } catch (const CTextException&) {
            found = false;
        }
        if (found) in.texturePicture = candidate;
        break;
    }
    auto texture = std::make_unique<TextureImage>();
    texture->width = texture->height = n;
    texture->rgb.assign(std::size_t(n) * n * 3, 127);
    if (found) {
        if (picture.GetBitsPerPixel() != 32) {
            CWinBmp converted;
            converted.CreateCopy(picture, 32);
            picture = converted;
        }
        picture.ResizeBilinear(n, n);
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                CPixel32 p = picture.GetPixel(x, y);
                unsigned char* d = texture->rgb.data() + (std::size_t(y) * n + x) * 3;
                d[0] = p.GetR(), d[1] = p.GetG(), d[2] = p.GetB();
            }
    }
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            unsigned char* d = texture->rgb.data() + (std::size_t(y) * n + x) * 3;
            d[0] = 200, d[1] = 150, d[2] = 100;
        }
    if (in.head) in.head->texture = std::move(texture);
}

bool LoadOBJFile(const std::string& path, bool withTexture, const svc::AppState& keywords, ObjImport& out,
                 std::string& reason) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes, reason)) return false;
    if (!ParseObj(bytes, keywords, out, reason)) return false;
    BuildObjHead(out);
    if (withTexture) LoadObjTexture(path, out);
    return true;
}

}  // namespace files
