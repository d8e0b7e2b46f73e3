#pragma once
// The start page (modal through the photo kernel, modeless from the frame).
// The main frame owns it and deletes it once its window is gone.

#include "framework/ui.h"

class CDlgCrop : public CDialog {
public:
    using CDialog::CDialog;
};
