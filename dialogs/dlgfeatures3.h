#pragma once
// The step-2 feature-curve page.
// The main frame owns it and deletes it once its window is gone.

#include "framework/ui.h"

class CDlgFeatures3 : public CDialog {
public:
    using CDialog::CDialog;
};
