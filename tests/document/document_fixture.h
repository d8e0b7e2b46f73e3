#pragma once
// A document's project as the work flow leaves it, and a dump of all that
// a project file carries of a document, for the round trips of its files.

#include <memory>
#include <sstream>
#include <string>

#include "document/facedoc.h"
#include "document/picture_bytes.h"
#include "files_fixture.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "model/head.h"
#include "tests/support/project_dump.h"

using testsupport::DumpDocument;

// A project in the document as the work flow leaves it: a photo with its
// start-page values, marks, notes and, at 2500, a fitted head with texture.
inline void MakeProject(CFaceDoc& d, int stage, int templateId, int textureSize, int photoWidth = 240) {
    d.templateId = templateId == 100 ? 121 : templateId;
    d.LoadTHEResource(unsigned(d.templateId), true);
    d.templateId = templateId;
    CKernel2D& k = *d.kernel2D;
    std::string bmp = files::BmpBytes(filestest::FilesTest::picture(photoWidth, photoWidth * 5 / 6, 3));
    k.SetFileBytes(std::vector<uint8_t>(bmp.begin(), bmp.end()));
    k.left = 10, k.top = 5, k.right = 230, k.bottom = 190;
    k.quarterTurns = 0, k.mirrorLeftRight = 1, k.mirrorTopBottom = 0;
    k.loadLeft = 10, k.loadTop = 5, k.loadRight = 230, k.loadBottom = 190;
    k.LoadOrigBmp(&k.photo, 2, 0, 0);
    k.InitPicture();
    head2& m = *k.head;
    m.valid = 1;
    const char* names[3] = {"eye_left", "eye_right", "mouth"};
    for (int i = 0; i < 3; ++i) {
        Index<featurepoint2> p = m.photoPoints.add_new(names[i]);
        m.photoPoints[p].position = vector2<double>(20.5 + 30 * i, 40 + 5 * i);
    }
    Index<featureline2> l = m.photoLines.add_new("chin");
    for (int i = 0; i < 4; ++i) {
        Index<linepoint2> q = m.photoLines[l].add();
        m.photoLines[l][q].position = vector2<double>(10 + 25 * i, 90 - i);
        m.photoLines[l][q].kind = i == 3 ? 2 : 1;
    }
    k.notes = "a_b";
    d.textureSize = textureSize;
    d.projectFlag = 3;
    d.stage = stage;
    if (stage == 2500) {
        head3& h = *d.kernel3D->head;
        int n = 0;
        for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v), ++n)
            h.vertices[v].position = h.vertices[v].position * 1.01 + vector3<double>(0.25 * (n % 3), 0, 0);
        n = 0;
        for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t), ++n)
            for (int c = 0; c < 3; ++c) {
                h.triangles[t].texture[c] = vector2<double>((n % 97) / 97.0, c / 3.0);
                h.triangles[t].further[c] = vector2<double>(c * 10.0 + n % 5, 7.5);
            }
        auto texture = std::make_unique<TextureImage>();
        texture->width = texture->height = textureSize;
        texture->rgb.resize(std::size_t(textureSize) * textureSize * 3);
        for (std::size_t i = 0; i < texture->rgb.size(); ++i) texture->rgb[i] = static_cast<unsigned char>(i * 7 + i / 5);
        h.texture = std::move(texture);
    }
}

