#pragma once
// The age and weight dialog of the picture-editor mode.
// The main frame owns it and deletes it once its window is gone.

#include "framework/ui.h"

class CDlgAge : public CDialog {
public:
    using CDialog::CDialog;
};
