#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/dialog.h"
#include "framework/layout_parser.h"
#include "framework/menu.h"
#include "framework/window_state.h"

// The text layout readers; what they accept is built (menus, accelerator
// tables, dialogs with their controls) and torn down again.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  std::string_view text(reinterpret_cast<const char *>(data) + 1, size - 1);
  std::string error;
  switch (data[0] % 3) {
    case 0: {
      brv::DialogLayout layout;
      if (!brv::ParseDialogLayout(text, "DIALOG/1.txt", &layout, &error)) break;
      CWnd dialog;
      brv::CreateDialogWindows(&dialog, layout, nullptr, true);
      brv::ResetWindowing();
      break;
    }
    case 1: {
      brv::MenuLayout layout;
      if (!brv::ParseMenuLayout(text, "MENU/1.txt", &layout, &error)) break;
      DestroyMenu(brv::MenuFromLayout(layout, true));
      break;
    }
    default: {
      std::vector<ACCEL> table;
      if (!brv::ParseAcceleratorLayout(text, "ACCELERATORS/1.txt", &table, &error)) break;
      for (const ACCEL &a : table) {
        BYTE fVirt = 0;
        WORD key = 0;
        if (!brv::ParseAcceleratorKeys(brv::AcceleratorKeyText(a), &fVirt, &key) || fVirt != a.fVirt || key != a.key)
          __builtin_trap();
      }
      DestroyAcceleratorTable(CreateAcceleratorTable(table.data(), static_cast<int>(table.size())));
      break;
    }
  }
  return 0;
}
