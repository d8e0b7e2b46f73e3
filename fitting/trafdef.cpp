#include "fitting/trafdef.h"

#include "seams/app.h"

namespace {

svc::FaceView* documentView(const char* name) {
    svc::FaceDocument* d = svc::document();
    return d ? d->GetView(name) : nullptr;
}

}  // namespace

// Without a document or view the identity stands in.
htraf3<double> htrafOf2D3DView() {
    svc::FaceView* v = documentView("ViewEdit2D3D");
    return v ? v->OpenGL2htraf() : htraf3<double>(I44);
}

htraf3<double> htrafOf2D3DViewBmp() {
    svc::FaceView* v = documentView("ViewEdit2D3D");
    return v ? v->OpenGL2htraf() * v->cl2bmp_HTRAF3() : htraf3<double>(I44);
}

htraf3<double> htrafOf3DView() {
    svc::FaceView* v = documentView("ViewEdit3D");
    return v ? v->OpenGL2htraf() : htraf3<double>(I44);
}

void traf32(fnd::vector<vector2<double>>* out, const fnd::vector<vector3<double>>& points, const htraf3<double>& h) {
    out->resize(points.size());
    for (int i = 0; i < points.size(); ++i) {
        vector3<double> v = (points[i] * h).vec3();
        (*out)[i] = vector2<double>(v.x, v.y);
    }
}

// The four forms are compiled here once.
template class trafdef<vector2<double>, vector2<double>>;
template class trafdef<vector2<double>, vector3<double>>;
template class trafdef<vector3<double>, vector2<double>>;
template class trafdef<vector3<double>, vector3<double>>;
