#pragma once
// The run-time classes the main frame makes its four panes from.

struct CRuntimeClass;

const CRuntimeClass* ViewOrigPhotoClass();
const CRuntimeClass* ViewOrig2DClass();
const CRuntimeClass* ViewEdit2D3DClass();
const CRuntimeClass* ViewEdit3DClass();
