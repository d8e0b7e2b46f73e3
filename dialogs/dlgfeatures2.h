#pragma once
// The step-1 feature-point page.
// The main frame owns it and deletes it once its window is gone.

#include "framework/ui.h"

class CDlgFeatures2 : public CDialog {
public:
    using CDialog::CDialog;
};
