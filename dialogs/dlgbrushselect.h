#pragma once
// The clone-brush palette.
// The main frame owns it and deletes it once its window is gone.

#include "framework/ui.h"

class CDlgBrushSelect : public CDialog {
public:
    using CDialog::CDialog;
};
