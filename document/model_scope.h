#pragma once
// Files are read into heads of their own beside the open project. Making a
// head changes which head is current; this keeps the open project's current
// heads and chains as they were once the reading is over.

#include "model/head.h"

namespace files {

class CurrentModelScope {
public:
    CurrentModelScope();
    ~CurrentModelScope();
    CurrentModelScope(const CurrentModelScope&) = delete;
    CurrentModelScope& operator=(const CurrentModelScope&) = delete;

private:
    head3* head3_;
    head2* head2_;
    fnd::chain<vertex>* vertices_;
    fnd::chain<triangle>* triangles_;
    fnd::chain<extrapoint>* extrapoints_;
    commonchain<extrapoint>* container_;
    fnd::chain<featurepoint3>* points3_;
    fnd::chain<featureline3>* lines3_;
    fnd::chain<area>* areas_;
    fnd::chain<region>* regions_;
    fnd::chain<featurepoint2>* points2_;
    fnd::chain<featureline2>* lines2_;
    Index<extrapoint> working_, auxiliar_;
};

}  // namespace files
