#include "views/viewclasses.h"

#include "views/viewedit2d3d.h"
#include "views/viewedit3d.h"
#include "views/vieworig2d.h"
#include "views/vieworigphoto.h"

const CRuntimeClass* ViewOrigPhotoClass() { return RUNTIME_CLASS(CViewOrigPhoto); }
const CRuntimeClass* ViewOrig2DClass() { return RUNTIME_CLASS(CViewOrig2D); }
const CRuntimeClass* ViewEdit2D3DClass() { return RUNTIME_CLASS(CViewEdit2D3D); }
const CRuntimeClass* ViewEdit3DClass() { return RUNTIME_CLASS(CViewEdit3D); }
