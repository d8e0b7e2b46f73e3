#pragma once
// The free-hand tool palette.
// The main frame owns it and deletes it once its window is gone.

#include "framework/ui.h"

class CDlgFreeTool : public CDialog {
public:
    using CDialog::CDialog;
};
