// The readers of the DIALOG, MENU and ACCELERATORS text layouts.
#include "framework/layout_parser.h"

#include <gtest/gtest.h>

#include <string>

#include "framework/backend.h"
#include "framework/resources.h"

namespace {

using brv::ControlKind;

const char* kDialog =
    "# the crop page, shortened\n"
    "dialog 232 IDD_CROP \"Crop \\\"photo\\\"\" 400 300 child visible\n"
    "\n"
    "button 1 \"Next >>\" 10 280 50 14 default tabstop\n"
    "button 2 \"Cancel\" 70 280 50 14 hidden\n"
    "frame 1123 \"\" 5 5 391 290 sunken\n"
    "bitmap 370 \"370\" 5 300 20 20\n"
    "radio 1096 \"Male\" 10 10 40 10 auto group tabstop\n"
    "radio 1097 \"Female\" 10 20 40 10 auto\n"
    "static -1 \"Name\" 10 30 40 8 right\n"
    "static -1 \"Path\\tTab\" 10 40 40 8 noprefix\n"
    "edit 0x45A \"\" 60 30 80 12 multiline wantreturn password disabled\n"
    "slider 1087 \"\" 10 60 100 15 vertical both\n"
    "list 1031 \"\" 10 80 100 50 report noheader singlesel\n"
    "combo 1200 \"\" 10 140 100 50 dropdownlist sort\n"
    "check 1115 \"Zudadoz 3.5\" 10 200 60 10 auto\n";

TEST(DialogLayout, ReadsHeaderControlsAndFlags) {
  brv::DialogLayout d;
  std::string error;
  ASSERT_TRUE(brv::ParseDialogLayout(kDialog, "DIALOG/232.txt", &d, &error)) << error;
  EXPECT_EQ(d.id, 232);
  EXPECT_EQ(d.name, "IDD_CROP");
  EXPECT_EQ(d.caption, "Crop \"photo\"");
  EXPECT_EQ(d.w, 400);
  EXPECT_EQ(d.h, 300);
  EXPECT_EQ(d.style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
  ASSERT_EQ(d.controls.size(), 13u);
  struct Case {
    int index;
    ControlKind kind;
    int id;
    DWORD style;
  };
  const DWORD base = WS_CHILD | WS_VISIBLE;
  const Case cases[] = {
      {0, ControlKind::kButton, 1, base | BS_DEFPUSHBUTTON | WS_TABSTOP},
      {1, ControlKind::kButton, 2, WS_CHILD | BS_PUSHBUTTON},
      {2, ControlKind::kFrame, 1123, base | SS_BLACKFRAME | SS_SUNKEN},
      {3, ControlKind::kBitmap, 370, base | SS_BITMAP},
      {4, ControlKind::kRadio, 1096, base | BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP},
      {5, ControlKind::kRadio, 1097, base | BS_AUTORADIOBUTTON},
      {6, ControlKind::kStatic, -1, base | SS_RIGHT},
      {7, ControlKind::kStatic, -1, base | SS_LEFT | SS_NOPREFIX},
      {8, ControlKind::kEdit, 1114, base | ES_MULTILINE | ES_WANTRETURN | ES_PASSWORD | WS_DISABLED},
      {9, ControlKind::kSlider, 1087, base | TBS_VERT | TBS_BOTH},
      {10, ControlKind::kList, 1031, base | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL},
      {11, ControlKind::kCombo, 1200, base | CBS_DROPDOWNLIST | CBS_SORT},
      {12, ControlKind::kCheck, 1115, base | BS_AUTOCHECKBOX},
  };
  for (const Case& c : cases) {
    const brv::ControlLayout& l = d.controls[static_cast<size_t>(c.index)];
    EXPECT_EQ(l.kind, c.kind) << c.index;
    EXPECT_EQ(l.id, c.id) << c.index;
    EXPECT_EQ(l.style, c.style) << c.index << " " << brv::ControlKindName(l.kind);
  }
  EXPECT_EQ(d.controls[7].text, "Path\tTab");
  EXPECT_EQ(d.controls[3].text, "370");
  EXPECT_EQ(d.controls[0].x, 10);
  EXPECT_EQ(d.controls[0].h, 14);
  EXPECT_EQ(d.controls[12].line, 16);
  EXPECT_EQ(d.Find(1097), &d.controls[5]);
  EXPECT_EQ(d.Find(4242), nullptr);
}

// Every bad line refuses the resource with its file and line.
TEST(DialogLayout, ErrorTable) {
  const std::string header = "dialog 232 IDD_X \"X\" 100 100 popup\n";
  struct Case {
    std::string text;
    std::string error;
  };
  const Case cases[] = {
      {header + "buton 1 \"OK\" 1 1 10 10\n", "DIALOG/232.txt:2: unknown control kind 'buton'"},
      {header + "button 1 \"OK\" 1 1 10\n", "DIALOG/232.txt:2: a button needs an id, a text, x, y, width and height"},
      {header + "button 1 \"OK\" 1 1 10 10 sunken\n", "DIALOG/232.txt:2: unknown flag 'sunken' for a button"},
      {header + "button 1 OK 1 1 10 10\n", "DIALOG/232.txt:2: control text must stand in double quotes"},
      {header + "button 1 \"OK 1 1 10 10\n", "DIALOG/232.txt:2: text without its closing quote"},
      {header + "button 1 \"O\\qK\" 1 1 10 10\n", "DIALOG/232.txt:2: unknown escape \\q"},
      {header + "button x1 \"OK\" 1 1 10 10\n", "DIALOG/232.txt:2: bad control id 'x1'"},
      {header + "button 70000 \"OK\" 1 1 10 10\n", "DIALOG/232.txt:2: control id 70000 out of range"},
      {header + "button 1 \"OK\" 1 1 -10 10\n", "DIALOG/232.txt:2: width -10 out of range"},
      {header + "button 1 \"OK\" 1 1 10 10\n# c\nbutton 1 \"Again\" 1 1 10 10\n",
       "DIALOG/232.txt:4: control id 1 twice"},
      {header + "bitmap 5 \"abc\" 1 1 10 10\n", "DIALOG/232.txt:2: bad bitmap number 'abc'"},
      {header + "dialog 233 IDD_Y \"Y\" 1 1 popup\n", "DIALOG/232.txt:2: a second dialog header"},
      {"button 1 \"OK\" 1 1 10 10\n", "DIALOG/232.txt:1: the first line must be the dialog header"},
      {"# nothing\n\n", "DIALOG/232.txt:1: no dialog header"},
      {"dialog 232 IDD_X \"X\" 100 100 popup child\n", "DIALOG/232.txt:1: a dialog is either popup or child"},
      {"dialog 232 IDD_X \"X\" 100 100\n", "DIALOG/232.txt:1: a dialog is either popup or child"},
      {"dialog 232 IDD_X \"X\" 100 100 popup wobbly\n", "DIALOG/232.txt:1: unknown dialog style 'wobbly'"},
      {"dialog 0 IDD_X \"X\" 100 100 popup\n", "DIALOG/232.txt:1: dialog id 0 out of range"},
      {"dialog 232 \"IDD_X\" \"X\" 100 100 popup\n", "DIALOG/232.txt:1: the dialog name must not stand in quotes"},
      {header + "static -1 \"a\"b 1 1 1 1\n", "DIALOG/232.txt:2: no blank after a closing quote"},
  };
  for (const Case& c : cases) {
    brv::DialogLayout d;
    d.id = 77;
    std::string error;
    EXPECT_FALSE(brv::ParseDialogLayout(c.text, "DIALOG/232.txt", &d, &error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
    EXPECT_EQ(d.id, 77) << "a refused layout leaves the output alone";
  }
}

TEST(MenuLayout, NestedPopupsItemsAndFlags) {
  brv::MenuLayout m;
  std::string error;
  ASSERT_TRUE(brv::ParseMenuLayout("popup \"&File\"\n"
                                   "  item 57600 \"&New\\tCtrl+N\"\n"
                                   "  separator\n"
                                   "  popup \"Recent\" grayed\n"
                                   "    item 57616 \"Recent File\" disabled\n"
                                   "  end\n"
                                   "end\n"
                                   "item 0xE141 \"E&xit\" checked\n",
                                   "MENU/128.txt", &m, &error))
      << error;
  ASSERT_EQ(m.items.size(), 2u);
  const auto& file = m.items[0];
  EXPECT_TRUE(file.popup);
  EXPECT_EQ(file.text, "&File");
  ASSERT_EQ(file.items.size(), 3u);
  EXPECT_EQ(file.items[0].id, 57600u);
  EXPECT_EQ(file.items[0].text, "&New\tCtrl+N");
  EXPECT_TRUE(file.items[1].separator);
  EXPECT_EQ(file.items[2].flags, static_cast<UINT>(MF_GRAYED));
  EXPECT_EQ(file.items[2].items[0].flags, static_cast<UINT>(MF_DISABLED));
  EXPECT_EQ(m.items[1].id, 0xE141u);
  EXPECT_EQ(m.items[1].flags, static_cast<UINT>(MF_CHECKED));
}

TEST(MenuLayout, ErrorTable) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"popup \"File\"\n  item 1 \"A\"\n", "MENU/128.txt:1: pop-up \"File\" has no end"},
      {"end\n", "MENU/128.txt:1: end without a pop-up"},
      {"popup \"File\"\n  itme 1 \"A\"\nend\n", "MENU/128.txt:2: unknown menu line 'itme'"},
      {"popup \"File\"\n  item 1\nend\n", "MENU/128.txt:2: an item needs an id and a text"},
      {"popup \"File\"\n  item 1 \"A\" bold\nend\n", "MENU/128.txt:2: unknown menu flag 'bold'"},
      {"popup File\nend\n", "MENU/128.txt:1: pop-up text must stand in double quotes"},
      {"popup \"File\"\n  separator x\nend\n", "MENU/128.txt:2: text after separator"},
      {"popup \"File\"\n  item 99999 \"A\"\nend\n", "MENU/128.txt:2: command id 99999 out of range"},
  };
  for (const Case& c : cases) {
    brv::MenuLayout m;
    std::string error;
    EXPECT_FALSE(brv::ParseMenuLayout(c.text, "MENU/128.txt", &m, &error)) << c.text;
    EXPECT_EQ(error, c.error);
  }
}

TEST(AcceleratorLayout, KeysModifiersAndErrors) {
  std::vector<ACCEL> table;
  std::string error;
  ASSERT_TRUE(brv::ParseAcceleratorLayout("Ctrl+Shift+N 57600\nF6 0xE150\nshift+f6 0xE151\nAlt+Plus 5\nctrl+9 6\n"
                                          "Escape 7\nCtrl+F24 8\n",
                                          "ACCELERATORS/128.txt", &table, &error))
      << error;
  ASSERT_EQ(table.size(), 7u);
  struct Want {
    BYTE fVirt;
    WORD key;
    WORD cmd;
  };
  const Want want[] = {
      {FVIRTKEY | FCONTROL | FSHIFT, 'N', 57600}, {FVIRTKEY, VK_F1 + 5, 0xE150}, {FVIRTKEY | FSHIFT, VK_F1 + 5, 0xE151},
      {FVIRTKEY | FALT, VK_ADD, 5},              {FVIRTKEY | FCONTROL, '9', 6}, {FVIRTKEY, VK_ESCAPE, 7},
      {FVIRTKEY | FCONTROL, VK_F24, 8},
  };
  for (size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(table[i].fVirt, want[i].fVirt) << i;
    EXPECT_EQ(table[i].key, want[i].key) << i;
    EXPECT_EQ(table[i].cmd, want[i].cmd) << i;
  }
  EXPECT_EQ(brv::AcceleratorKeyText(table[0]), "Ctrl+Shift+N");
  EXPECT_EQ(brv::AcceleratorKeyText(table[2]), "Shift+F6");

  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"Ctrl+ 5\n", "ACCELERATORS/1.txt:1: unknown key 'Ctrl+'"},
      {"Ctrl+Ctrl+A 5\n", "ACCELERATORS/1.txt:1: unknown key 'Ctrl+Ctrl+A'"},
      {"Hyper+A 5\n", "ACCELERATORS/1.txt:1: unknown key 'Hyper+A'"},
      {"F25 5\n", "ACCELERATORS/1.txt:1: unknown key 'F25'"},
      {"F0 5\n", "ACCELERATORS/1.txt:1: unknown key 'F0'"},
      {"A\n", "ACCELERATORS/1.txt:1: a line is <keys> <command id>"},
      {"A 5 6\n", "ACCELERATORS/1.txt:1: a line is <keys> <command id>"},
      {"A x\n", "ACCELERATORS/1.txt:1: bad command id 'x'"},
      {"A 5\n\nA 6\n", "ACCELERATORS/1.txt:3: key A twice"},
  };
  for (const Case& c : cases) {
    std::vector<ACCEL> t;
    EXPECT_FALSE(brv::ParseAcceleratorLayout(c.text, "ACCELERATORS/1.txt", &t, &error)) << c.text;
    EXPECT_EQ(error, c.error);
  }
}

// The resources are parsed once; a refused one logs its message and is missing.
TEST(Layouts, FoundFromTheResourcesAndRefusedOnesLogged) {
  brv::HeadlessBackend backend;
  brv::Backend* old = brv::SetBackend(&backend);
  brv::SetResourceOverlay("DIALOG", 9001, "dialog 9001 IDD_A \"A\" 10 10 popup\nbuton 1 \"x\" 1 1 1 1\n");
  brv::SetResourceOverlay("DIALOG", 9002, "dialog 9002 IDD_B \"B\" 10 10 popup\n");
  brv::ForgetParsedLayouts();
  EXPECT_EQ(brv::FindDialogLayout(9001), nullptr);
  EXPECT_EQ(brv::FindDialogLayout(9001), nullptr);
  ASSERT_NE(brv::FindDialogLayout(9002), nullptr);
  EXPECT_EQ(brv::FindDialogLayout(9002)->name, "IDD_B");
  EXPECT_EQ(brv::FindDialogLayout(9003), nullptr);
  auto logs = backend.EventsOf(brv::HeadlessBackend::Event::kLog);
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].text, "DIALOG/9001.txt:2: unknown control kind 'buton'");
  brv::ClearResourceOverlays();
  brv::ForgetParsedLayouts();
  brv::SetBackend(old);
}

}  // namespace
