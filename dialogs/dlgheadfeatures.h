#pragma once
// The template preparation window.
// The main frame owns it and deletes it once its window is gone.

#include "framework/ui.h"

class CDlgHeadFeatures : public CDialog {
public:
    using CDialog::CDialog;
};
