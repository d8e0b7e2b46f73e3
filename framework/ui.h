#pragma once
// Everything of the framework's windowing layer in one include: windows,
// messages, the application, documents, views and frames, splitters,
// dialogs, controls, menus, file dialogs, the clipboard and the shell.
#include "framework/app.h"
#include "framework/clipboard.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/docview.h"
#include "framework/filedialog.h"
#include "framework/framework.h"
#include "framework/gdi.h"
#include "framework/menu.h"
#include "framework/shell.h"
#include "framework/splitter.h"
#include "framework/wnd.h"
