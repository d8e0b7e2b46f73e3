#pragma once
// The head side of the document: the current head3 and its OpenGL display
// lists (list 1: the whole head, list 2: the gathered triangles). The
// Group, Material and TxtCoordinate tables the head reader fills are the
// document's (svc::FaceTables).

#include <cstdint>
#include <vector>

#include "foundation/filetb.h"

class head3;

namespace svc {
class FaceDocument;
}

class CKernel3D {
public:
    explicit CKernel3D(svc::FaceDocument* doc);
    virtual ~CKernel3D();
    CKernel3D(const CKernel3D&) = delete;
    CKernel3D& operator=(const CKernel3D&) = delete;

    void Reset();
    // statusOfFace: the document's stage (1000, 2000, 2500).
    int LoadHead(fnd::fileTB& f, int statusOfFace);
    int LoadPHS(fnd::fileTB& f);
    int SaveHead(fnd::fileTB& f);

    // List 1 of the overlay view, list 1 and list 2 of the 3D view.
    void TrianglesToOpenGLBasic();
    void TrianglesToOpenGL();
    void TrianglesToOpenGLGathered();

    // What TrianglesToOpenGL makes its list from besides the head's
    // geometry (which the head's change count stands for): equal inputs
    // make the same list.
    struct ListInputs {
        const head3* head = nullptr;
        uint64_t changeCount = 0;
        int mode = 0;
        bool imported = false;
        std::vector<int> saved;
        double skin[3] = {0, 0, 0};
        bool operator==(const ListInputs&) const = default;
    };
    ListInputs WholeHeadListInputs() const;

    head3* Head() const { return head; }

    svc::FaceDocument* doc;
    head3* head = nullptr;
    int32_t headState = 0;

private:
    void newHead();
    // The saved-position index of every triangle slot (-1 when none).
    std::vector<int> savedIndices() const;
};

// Every texture upload goes through here: a square texture wider than 512
// pixels is uploaded as the current head's 512 x 512 reduction (block means).
void pmTexImage2D(unsigned long target, long level, long internalFormat, long width, long height, long border,
                  unsigned long format, unsigned long type, const void* pixels);
