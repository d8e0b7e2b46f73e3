#include "fitting/headtophoto.h"

#include <cmath>
#include <map>
#include <vector>
#include <string>

#include "seams/app.h"
#include "seams/dialogs.h"
#include "fitting/kernel2d.h"
#include "fitting/marks.h"
#include "fitting/warp.h"
#include "framework/system.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "seams/views.h"

namespace {

using Line3 = fnd::vector<vector3<double>>;
using Line2 = fnd::vector<vector2<double>>;

constexpr double kSame = 1e-20;

template <class P>
double dist2(const P& a, const P& b) {
    P d = a - b;
    return d * d;
}

template <class P>
void reverse(fnd::vector<P>& v) {
    for (int i = 0, j = v.size() - 1; i < j; ++i, --j) fnd::swap(v[i], v[j]);
}

void correctDirection2(const vector2<double>& a, fnd::vector<vector2<double>>& photoLine, int& direction,
                       const vector2<double>& b) {
    // a: the source's end-to-end vector, b: the photo line's.
    if (direction == 0) {
        double l = std::sqrt((a * a) * (b * b));
        if (l > 1e-10 && (a * b) / l < -0.5) direction = -1;
    }
    if (direction == -1) reverse(photoLine);
}

template <class P, class Q>
void translate(fnd::dynarray<int>& onA, fnd::dynarray<int>& onB, const fnd::vector<P>& lineA,
               const fnd::vector<Q>& lineB, const fnd::vector<P>& rowA, const fnd::vector<Q>& rowB) {
    auto find = [](const auto& line, const auto& p) {
        for (int i = 0; i < line.size(); ++i)
            if (dist2(line[i], p) < kSame) return i;
        return -1;
    };
    fnd::dynarray<int> a, b;
    int n = std::min(onA.size(), onB.size());
    for (int k = 0; k < n; ++k) {
        int ra = onA[k], rb = onB[k];
        int ia = ra >= 0 && ra < rowA.size() ? find(lineA, rowA[ra]) : -1;
        int ib = rb >= 0 && rb < rowB.size() ? find(lineB, rowB[rb]) : -1;
        if (ia < 0 || ib < 0) continue;
        a.add(ia);
        b.add(ib);
    }
    onA.resize(a.size());
    onB.resize(b.size());
    for (int k = 0; k < a.size(); ++k) onA[k] = a[k], onB[k] = b[k];
}

template <class P>
fnd::vector<P> piece(const fnd::vector<P>& line, int from, int to) {
    fnd::vector<P> out;
    for (int i = from; i <= to && i < line.size(); ++i) out.add(line[i]);
    return out;
}

template <class P, class Q>
bool cut(const fnd::dynarray<int>& onA, const fnd::dynarray<int>& onB, const fnd::vector<P>& lineA,
         const fnd::vector<Q>& lineB, fnd::dynarray<fnd::vector<P>>& piecesA, fnd::dynarray<fnd::vector<Q>>& piecesB) {
    piecesA.resize(0);
    piecesB.resize(0);
    if (onA.size() != onB.size()) return false;
    int n = onA.size();
    if (n == 0) {
        piecesA.add(lineA);
        piecesB.add(lineB);
        return true;
    }
    if (onA[0] > 0 && onB[0] > 0) {
        piecesA.add(piece(lineA, 0, onA[0]));
        piecesB.add(piece(lineB, 0, onB[0]));
    }
    for (int k = 0; k + 1 < n; ++k) {
        piecesA.add(piece(lineA, onA[k], onA[k + 1]));
        piecesB.add(piece(lineB, onB[k], onB[k + 1]));
    }
    if (onA[n - 1] != lineA.size() - 1 && onB[n - 1] != lineB.size() - 1) {
        piecesA.add(piece(lineA, onA[n - 1], lineA.size() - 1));
        piecesB.add(piece(lineB, onB[n - 1], lineB.size() - 1));
    }
    return true;
}

// The n-th photo line of that name (0: the first), or null.
featureline2* photoLine(head2& marks, const char* name, int nth) {
    for (int i = marks.photoLines.first(); i != -1; i = marks.photoLines.nextOf(i))
        if (std::string(marks.photoLines[i].name()) == name && nth-- == 0) return &marks.photoLines[i];
    return nullptr;
}

const featurepoint2* photoPoint(head2& marks, const char* name, int nth) {
    for (int i = marks.photoPoints.first(); i != -1; i = marks.photoPoints.nextOf(i))
        if (std::string(marks.photoPoints[i].name()) == name && nth-- == 0) return &marks.photoPoints[i];
    return nullptr;
}

Line2 pointsOf(const featureline2& l) {
    Line2 out;
    for (int i = l.first(); i != -1; i = l.nextOf(i)) out.add(l[i].position);
    return out;
}

Line3 pointsOf(const featureline3& l) {
    Line3 out;
    for (int i = l.first(); i != -1; i = l.nextOf(i)) out.add(l[i].point());
    return out;
}

struct Rows {
    Line2 photo;        // the row's photo mark ((0, 0) when none)
    Line3 head;         // the head point
    Line2 second;       // the second mark
    fnd::vector<int> hasPhoto, hasHead, hasSecond;
    fnd::vector<CString> code;
};

}  // namespace

vector3<double> lineOfSight(const htraf3<double>& h, const vector3<double>& p) {
    // The direction along which p's image does not move: the null direction
    // of the derivative of (x / w, y / w) at p.
    const double* m = h.m;
    hvector3<double> q = p * h;
    vector3<double> X(m[0], m[4], m[8]), Y(m[1], m[5], m[9]), Wc(m[3], m[7], m[11]);
    vector3<double> dx = X * q.w - Wc * q.x, dy = Y * q.w - Wc * q.y;
    vector3<double> n = dx % dy;
    double l = n.length();
    if (!(l > 0) || !std::isfinite(l)) return vector3<double>(0, 0, 0);
    return n * (1.0 / l);
}

vector3<double> alongLineOfSight(const htraf3<double>& h, const vector3<double>& p, const vector3<double>& d) {
    vector3<double> u = lineOfSight(h, p);
    return u * (u * d);
}

bool adjustIndices(fnd::dynarray<int>& onHead, fnd::dynarray<int>& onPhoto, int* direction) {
    fnd::dynarray<int> rows, pos;
    for (int i = 0; i < onHead.size(); ++i)
        for (int j = 0; j < onPhoto.size(); ++j)
            if (onPhoto[j] == onHead[i]) {
                rows.add(onHead[i]);
                pos.add(j);
                break;
            }
    *direction = 0;
    if (rows.size() <= 1) {
        onHead.resize(rows.size());
        onPhoto.resize(rows.size());
        if (rows.size() == 1) onHead[0] = onPhoto[0] = rows[0];
        return true;
    }
    int dir = pos[1] > pos[0] ? 1 : -1;
    for (int k = 1; k < pos.size(); ++k)
        if (dir == 1 ? !(pos[k] > pos[k - 1]) : !(pos[k] < pos[k - 1])) {
            onHead.resize(0);
            onPhoto.resize(0);
            return false;
        }
    *direction = dir;
    onHead.resize(rows.size());
    onPhoto.resize(rows.size());
    for (int k = 0; k < rows.size(); ++k) onHead[k] = onPhoto[k] = rows[k];
    return true;
}

void correctDirection(const Line3& headLine, Line2& photo, int& direction, const htraf3<double>& h) {
    vector2<double> a(0, 0), b(0, 0);
    if (headLine.size() > 0 && photo.size() > 0) {
        vector3<double> p = (headLine[headLine.size() - 1] * h).vec3(), q = (headLine[0] * h).vec3();
        a = {p.x - q.x, p.y - q.y};
        b = photo[photo.size() - 1] - photo[0];
    }
    correctDirection2(a, photo, direction, b);
}

void correctDirection(const Line2& source, Line2& photo, int& direction) {
    vector2<double> a(0, 0), b(0, 0);
    if (source.size() > 0 && photo.size() > 0) {
        a = source[source.size() - 1] - source[0];
        b = photo[photo.size() - 1] - photo[0];
    }
    correctDirection2(a, photo, direction, b);
}

void TranslateIndices(fnd::dynarray<int>& onHead, fnd::dynarray<int>& onPhoto, const Line3& headLine,
                      const Line2& photo, const Line3& rowHead, const Line2& rowPhoto) {
    translate(onHead, onPhoto, headLine, photo, rowHead, rowPhoto);
}

void TranslateIndices(fnd::dynarray<int>& onSource, fnd::dynarray<int>& onPhoto, const Line2& source,
                      const Line2& photo, const Line2& rowSource, const Line2& rowPhoto) {
    translate(onSource, onPhoto, source, photo, rowSource, rowPhoto);
}

bool cutLinesByPoints(const fnd::dynarray<int>& onHead, const fnd::dynarray<int>& onPhoto, const Line3& headLine,
                      const Line2& photo, fnd::dynarray<Line3>& headPieces, fnd::dynarray<Line2>& photoPieces) {
    return cut(onHead, onPhoto, headLine, photo, headPieces, photoPieces);
}

bool cutLinesByPoints(const fnd::dynarray<int>& onSource, const fnd::dynarray<int>& onPhoto, const Line2& source,
                      const Line2& photo, fnd::dynarray<Line2>& sourcePieces, fnd::dynarray<Line2>& photoPieces) {
    return cut(onSource, onPhoto, source, photo, sourcePieces, photoPieces);
}

fnd::vector<trafdef22> HeadToPhotoFeatures() {
    fnd::vector<trafdef22> features;
    svc::FaceDocument* doc = svc::document();
    head3* h = actual_head3;
    CKernel2D* kernel = doc ? doc->photoKernel() : nullptr;
    if (!doc || !h || !kernel || !kernel->head) return features;
    head2& marks = *kernel->head;
    const int templateId = doc->state().templateId;
    // The feature group of the photo; the template only decides between
    // head points and second marks.
    const int group = std::abs(doc->state().photoNumber);
    const htraf3<double> cam = htrafOf2D3DViewBmp();

    // 1. Point rows.
    Rows rows;
    CString code;
    for (int i = 0; GetFeaturePointInfo(i, &code); ++i) {
        rows.photo.add(vector2<double>(0, 0));
        rows.head.add(vector3<double>(0, 0, 0));
        rows.second.add(vector2<double>(0, 0));
        rows.hasPhoto.add(0);
        rows.hasHead.add(0);
        rows.hasSecond.add(0);
        rows.code.add(code);
        if (!GoodInfoCode(group, code)) continue;
        int r = rows.code.size() - 1;
        if (const featurepoint2* p = photoPoint(marks, code, 0)) {
            rows.photo[r] = p->position;
            rows.hasPhoto[r] = 1;
        }
        if (templateId > 0) {
            Index<featurepoint3> f = h->getFeaturepoint(code, true);
            if (f != -1) {
                rows.head[r] = h->featurepoints[f].point();
                rows.hasHead[r] = 1;
            }
        } else if (templateId == 0) {
            if (const featurepoint2* p = photoPoint(marks, code, 1)) {
                rows.second[r] = p->position;
                rows.hasSecond[r] = 1;
            }
        }
    }
    svc::progress().Step(0);
    if (svc::mainFrame()) svc::mainFrame()->OnViews2();

    auto rowsOn = [&](const auto& line, const auto& rowPoints, bool photoSide) {
        fnd::dynarray<int> out;
        for (int i = 0; i < line.size(); ++i)
            for (int r = 0; r < rows.code.size(); ++r) {
                if (!rows.hasHead[r] && !rows.hasSecond[r]) continue;
                if (photoSide && !rows.hasPhoto[r]) continue;
                if (dist2(line[i], rowPoints[r]) < kSame) {
                    out.add(r);
                    break;
                }
            }
        return out;
    };

    // 2. Feature lines.
    CString type;
    for (int i = 0; GetFeatureLineInfo(i, &code, nullptr, &type); ++i) {
        if (!GoodInfoCode(group, code) || type.GetLength() < 4) continue;
        if (type == CString("2222")) {
            dynarray<CString> chain;
            GetFeatureLinePoints(code, &chain);
            Line3 head;
            Line2 photo;
            for (int k = 0; k < chain.size(); ++k) {
                Index<featurepoint3> f = h->getFeaturepoint(chain[k], true);
                const featurepoint2* p = photoPoint(marks, chain[k], 0);
                if (f == -1 || !p) continue;
                head.add(h->featurepoints[f].point());
                photo.add(p->position);
            }
            if (head.size() < 2) continue;
            Line2 from;
            traf32(&from, head, cam);
            features.add(trafdef22(from, photo, fnd::vector<double>(), false, true, 0.5, 3.0, cam));
            continue;
        }
        CString flags = type;
        featureline2* target = photoLine(marks, code, 0);
        Index<featureline3> headLine = h->getFeatureline(code, true);
        bool viaHead = false, viaSecond = false;
        if (flags == CString("3333")) {
            if (target && headLine != -1)
                viaHead = true;
            else
                flags = "0101";
        }
        if (!viaHead) {
            if (!target) continue;
            if (flags[0] == '1' && !target->closing && target->first() != -1) {
                linepoint2 copy = (*target)[target->first()];
                (*target)[target->last()].kind = 1;
                copy.kind = 2;
                target->add_data(copy);
                target->closing = 1;
            }
            if (flags[1] != '1') continue;
            if (flags[3] == '1')
                viaSecond = photoLine(marks, code, 1) != nullptr;
            else if (flags[2] == '1')
                viaHead = headLine != -1;
            if (!viaHead && !viaSecond) continue;
        }
        Line2 photo = pointsOf(*target);
        fnd::dynarray<int> onPhoto = rowsOn(photo, rows.photo, true);
        int direction = 0;
        if (viaHead) {
            Line3 source = pointsOf(h->featurelines[headLine]);
            fnd::dynarray<int> onHead = rowsOn(source, rows.head, false);
            // A line whose common points cannot be matched is left out; the
            // other features still fit the head.
            if (!adjustIndices(onHead, onPhoto, &direction)) continue;
            correctDirection(source, photo, direction, cam);
            TranslateIndices(onHead, onPhoto, source, photo, rows.head, rows.photo);
            fnd::dynarray<Line3> headPieces;
            fnd::dynarray<Line2> photoPieces;
            if (!cutLinesByPoints(onHead, onPhoto, source, photo, headPieces, photoPieces)) continue;
            for (int k = 0; k < headPieces.size(); ++k) {
                Line2 from;
                traf32(&from, headPieces[k], cam);
                features.add(trafdef22(from, photoPieces[k], fnd::vector<double>(), true, true, 0.5, 3.0, cam));
            }
        } else {
            Line2 source = pointsOf(*photoLine(marks, code, 1));
            fnd::dynarray<int> onSource = rowsOn(source, rows.second, false);
            if (!adjustIndices(onSource, onPhoto, &direction)) continue;
            correctDirection(source, photo, direction);
            TranslateIndices(onSource, onPhoto, source, photo, rows.second, rows.photo);
            fnd::dynarray<Line2> sourcePieces, photoPieces;
            if (!cutLinesByPoints(onSource, onPhoto, source, photo, sourcePieces, photoPieces)) continue;
            for (int k = 0; k < sourcePieces.size(); ++k)
                features.add(trafdef22(sourcePieces[k], photoPieces[k], fnd::vector<double>(), true, true, 0.5, 3.0, cam));
        }
    }
    return features;
}

void HeadToPhotoTrafo() {
    svc::FaceDocument* doc = svc::document();
    head3* h = actual_head3;
    if (!doc || !h) return;
    // A mark off the photo (or not a number) would throw the head apart.
    if (CKernel2D* kernel = doc->photoKernel(); kernel && kernel->head) {
        CString problem = PhotoMarksProblem(*kernel->head, kernel->photo.GetWidth(), kernel->photo.GetHeight());
        if (!problem.IsEmpty()) {
            AfxMessageBox(problem);
            return;
        }
    }
    CWaitCursor wait;
    fnd::vector<trafdef22> features = HeadToPhotoFeatures();
    const htraf3<double> camera = htrafOf2D3DViewBmp();

    // 3. Warp.
    svc::progress().Step(0);
    std::vector<vector3<double>> saved;
    vector3<double> C0(0, 0, 0);
    for (int v = h->vertices.first(); v != -1; v = h->vertices.nextOf(v)) {
        if (size_t(v) >= saved.size()) saved.resize(size_t(v) + 1);
        saved[size_t(v)] = h->vertices[v].position;
        C0 += h->vertices[v].position;
    }
    int count = h->vertices.count();
    if (count) C0 = C0 * (1.0 / count);
    if (features.size()) Bela23TrafoHead(features, true, -2.0);

    // 4. Groups other than the main group move rigidly.
    if (!svc::app().state().pictureEditor && count) {
        svc::FaceTables& tables = doc->tables();
        const int mainGroup = tables.headGroup;
        auto groupOf = [&](int v) {
            const vertex& vx = h->vertices[v];
            auto first = vx.triangles.first();
            return first == -1 ? -1 : h->triangles[vx.triangles[first]].group;
        };
        struct Move {
            vector3<double> before{0, 0, 0}, after{0, 0, 0};
            int n = 0;
        };
        std::map<int, Move> moves;
        for (int v = h->vertices.first(); v != -1; v = h->vertices.nextOf(v)) {
            int g = groupOf(v);
            if (g == -1 || g == mainGroup) continue;
            Move& m = moves[g];
            m.before += saved[size_t(v)];
            m.after += h->vertices[v].position;
            ++m.n;
        }
        std::map<int, vector3<double>> delta;
        for (auto& [g, m] : moves) {
            delta[g] = (m.after - m.before) * (1.0 / m.n);
            if (g >= 0 && g < tables.groups.size()) tables.groups[g].value += delta[g];
        }
        for (int v = h->vertices.first(); v != -1; v = h->vertices.nextOf(v)) {
            int g = groupOf(v);
            h->vertices[v].position = g == -1 || g == mainGroup ? saved[size_t(v)] : vector3<double>(0, 0, 0);
        }
        svc::progress().Step(0);
        if (features.size()) Bela23TrafoHead(features, true, -2.0);
        // This run's move alone: the offsets keep what earlier runs added.
        for (int v = h->vertices.first(); v != -1; v = h->vertices.nextOf(v)) {
            int g = groupOf(v);
            if (g != -1 && g != mainGroup) h->vertices[v].position = saved[size_t(v)] + delta[g];
        }
        vector3<double> C1(0, 0, 0);
        for (int v = h->vertices.first(); v != -1; v = h->vertices.nextOf(v)) C1 += h->vertices[v].position;
        C1 = C1 * (1.0 / count);
        // Only the depth of the centroid is put back: a move across the line
        // of sight would pull the head off the marks it has just met.
        vector3<double> shift = alongLineOfSight(camera, C1, C0 - C1);
        for (int v = h->vertices.first(); v != -1; v = h->vertices.nextOf(v)) h->vertices[v].position += shift;
        for (int g = 0; g < tables.groups.size(); ++g) tables.groups[g].value += shift;
    }

    h->Changed();

    // 5. Redraw.
    for (const char* name : {"ViewOrigPhoto", "ViewOrig2D", "ViewEdit3D", "ViewEdit2D3D"})
        if (svc::FaceView* v = doc->GetView(name)) v->redrawFlag = false;
    if (svc::ViewEdit2D3D* v = doc->GetViewEdit2D3D()) v->InitializeModelForOpenGL();
    for (const char* name : {"ViewOrigPhoto", "ViewOrig2D", "ViewEdit3D", "ViewEdit2D3D"})
        if (svc::FaceView* v = doc->GetView(name)) v->RepaintFromModel();
}
