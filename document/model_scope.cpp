#include "document/model_scope.h"

namespace files {

CurrentModelScope::CurrentModelScope()
    : head3_(actual_head3),
      head2_(actual_head2),
      vertices_(Index<vertex>::actual),
      triangles_(Index<triangle>::actual),
      extrapoints_(Index<extrapoint>::actual),
      container_(extrapoint::Container),
      points3_(Index<featurepoint3>::actual),
      lines3_(Index<featureline3>::actual),
      areas_(Index<area>::actual),
      regions_(Index<region>::actual),
      points2_(Index<featurepoint2>::actual),
      lines2_(Index<featureline2>::actual),
      working_(working_generalpoint3().extra),
      auxiliar_(auxiliar_generalpoint3().extra) {}

CurrentModelScope::~CurrentModelScope() {
    actual_head3 = head3_;
    actual_head2 = head2_;
    Index<vertex>::actual = vertices_;
    Index<triangle>::actual = triangles_;
    Index<extrapoint>::actual = extrapoints_;
    extrapoint::Container = container_;
    Index<featurepoint3>::actual = points3_;
    Index<featureline3>::actual = lines3_;
    Index<area>::actual = areas_;
    Index<region>::actual = regions_;
    Index<featurepoint2>::actual = points2_;
    Index<featureline2>::actual = lines2_;
    working_generalpoint3().extra = working_;
    auxiliar_generalpoint3().extra = auxiliar_;
}

}  // namespace files
