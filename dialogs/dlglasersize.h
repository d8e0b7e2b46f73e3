#pragma once
// The step-3 model page.
// The main frame owns it and deletes it once its window is gone.

#include "framework/ui.h"

class CDlgLaserSize : public CDialog {
public:
    using CDialog::CDialog;
};
