// Menus with numeric ids, the document template on its resource, the
// recent-file list in the File menu and the command line.
#include <memory>
#include <string>
#include <vector>

#include "window_support.h"

namespace {

class MenuTest : public WindowingTest {};

TEST_F(MenuTest, ItemIdsSubMenusSeparatorsAndStates) {
  CMenu bar;
  ASSERT_TRUE(bar.CreateMenu());
  CMenu popup;
  ASSERT_TRUE(popup.CreatePopupMenu());
  popup.AppendMenu(MF_STRING, 32779, "Select");
  popup.AppendMenu(MF_SEPARATOR);
  CMenu deep;
  deep.CreatePopupMenu();
  deep.AppendMenu(MF_STRING, 32928, "Full screen");
  popup.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(deep.Detach()), "Views");
  bar.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(popup.Detach()), "&Tools");

  CMenu* tools = bar.GetSubMenu(0);
  ASSERT_NE(tools, nullptr);
  EXPECT_EQ(tools->GetMenuItemID(0), 32779u);
  EXPECT_EQ(tools->GetMenuItemID(1), 0u);                      // a separator
  EXPECT_EQ(tools->GetMenuItemID(2), static_cast<UINT>(-1));   // a pop-up
  EXPECT_EQ(tools->GetMenuItemID(9), static_cast<UINT>(-1));   // nothing there
  // The same object for the same pop-up; a new one once it was replaced.
  CMenu* views = tools->GetSubMenu(2);
  EXPECT_EQ(tools->GetSubMenu(2), views);
  CMenu replacement;
  replacement.CreatePopupMenu();
  replacement.AppendMenu(MF_STRING, 5, "Other");
  HMENU oldViews = views->m_hMenu;
  tools->ModifyMenu(2, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(replacement.Detach()), "Views");
  EXPECT_FALSE(IsMenu(oldViews));
  CMenu* replaced = tools->GetSubMenu(2);
  ASSERT_NE(replaced, nullptr);
  EXPECT_NE(replaced->m_hMenu, oldViews);
  EXPECT_EQ(replaced->GetMenuItemID(0), 5u);

  tools->AppendMenu(MF_SEPARATOR);
  EXPECT_EQ(tools->GetMenuItemID(3), 0u);
  EXPECT_EQ(tools->GetMenuState(3, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));

  // By command the pop-ups are searched.
  tools->EnableMenuItem(5, MF_BYCOMMAND | MF_GRAYED);
  EXPECT_EQ(bar.GetMenuState(5, MF_BYCOMMAND), static_cast<UINT>(MF_GRAYED | MF_DISABLED));
  EXPECT_EQ(bar.GetMenuState(5, MF_BYCOMMAND), 3u);
  bar.EnableMenuItem(5, MF_BYCOMMAND | MF_DISABLED);
  EXPECT_EQ(bar.GetMenuState(5, MF_BYCOMMAND), static_cast<UINT>(MF_DISABLED));
  bar.EnableMenuItem(5, MF_BYCOMMAND | MF_ENABLED);
  bar.CheckMenuItem(5, MF_BYCOMMAND | MF_CHECKED);
  EXPECT_EQ(bar.GetMenuState(5, MF_BYCOMMAND), static_cast<UINT>(MF_CHECKED));
  CString text;
  bar.GetMenuString(32779, text, MF_BYCOMMAND);
  EXPECT_EQ(text, "Select");
  EXPECT_TRUE(bar.ModifyMenu(32779, MF_BYCOMMAND | MF_STRING, 32779, "Pick"));
  tools->GetMenuString(0, text, MF_BYPOSITION);
  EXPECT_EQ(text, "Pick");
  EXPECT_EQ(bar.GetMenuState(4242, MF_BYCOMMAND), static_cast<UINT>(-1));
  EXPECT_TRUE(bar.DeleteMenu(5, MF_BYCOMMAND));
  EXPECT_EQ(replaced->GetMenuItemCount(), 0u);
}

TEST_F(MenuTest, PositionsHaveNoUpperLimitAndPopupsGoWithTheirItems) {
  CMenu menu;
  menu.CreatePopupMenu();
  for (int i = 0; i < 200; ++i) {
    if (i == 150) {
      CMenu sub;
      sub.CreatePopupMenu();
      sub.AppendMenu(MF_STRING, 9150, "Deep");
      menu.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(sub.Detach()), "Sub");
    } else {
      menu.AppendMenu(MF_STRING, 1000 + i, "Item");
    }
  }
  ASSERT_NE(menu.GetSubMenu(150), nullptr);
  EXPECT_EQ(menu.GetSubMenu(150)->GetMenuItemID(0), 9150u);
  EXPECT_EQ(menu.GetMenuItemID(199), 1199u);
  EXPECT_TRUE(menu.InsertMenu(0, MF_BYPOSITION | MF_STRING, 7, "First"));
  EXPECT_TRUE(menu.InsertMenu(static_cast<UINT>(-1), MF_BYPOSITION | MF_STRING, 8, "Last"));
  EXPECT_EQ(menu.GetMenuItemID(0), 7u);
  EXPECT_EQ(menu.GetMenuItemID(201), 8u);
  HMENU sub = menu.GetSubMenu(151)->m_hMenu;
  EXPECT_TRUE(menu.RemoveMenu(151, MF_BYPOSITION));
  EXPECT_TRUE(IsMenu(sub));
  DestroyMenu(sub);
  HMENU owned = menu.m_hMenu;
  {
    CMenu scoped;
    scoped.Attach(menu.Detach());
  }
  EXPECT_FALSE(IsMenu(owned));
}

// ---------------------------------------------------------------- template, titles, MRU

class MruDoc : public CDocument {
  DECLARE_DYNCREATE(MruDoc)
 public:
  int opened = 0;
  BOOL OnOpenDocument(LPCSTR path) override {
    ++opened;
    return CDocument::OnOpenDocument(path);
  }
};
IMPLEMENT_DYNCREATE(MruDoc, CDocument)

class MruView : public CView {
  DECLARE_DYNCREATE(MruView)
 public:
  void OnDraw(CDC*) override {}
};
IMPLEMENT_DYNCREATE(MruView, CView)

class MruFrame : public CFrameWnd {
  DECLARE_DYNCREATE(MruFrame)
};
IMPLEMENT_DYNCREATE(MruFrame, CFrameWnd)

class MruApp : public CWinApp {
 public:
  MruApp() : CWinApp("Brivanta") {}
};

class TemplateTest : public WindowingTest {
 protected:
  void SetUp() override {
    WindowingTest::SetUp();
    Layout("MENU", 900,
           "popup \"&File\"\n"
           "  item 57600 \"&New\"\n"
           "  separator\n"
           "  item 57616 \"Recent File\"\n"
           "  separator\n"
           "  item 57665 \"E&xit\"\n"
           "end\n");
  }
  void TearDown() override {
    if (app && app->m_pMainWnd) app->m_pMainWnd->DestroyWindow();
    app.reset();
    WindowingTest::TearDown();
  }
  std::unique_ptr<MruApp> app;
};

TEST_F(TemplateTest, NewDocumentFrameTitleAndRecentFilesAfterFourOpens) {
  app = std::make_unique<MruApp>();
  app->SetRegistryKey("Tervanik");
  app->AddDocTemplate(new CSingleDocTemplate(900, RUNTIME_CLASS(MruDoc), RUNTIME_CLASS(MruFrame), RUNTIME_CLASS(MruView)));
  app->LoadStdProfileSettings(4);
  app->SetCommandLine("");
  CCommandLineInfo info;
  app->ParseCommandLine(info);
  EXPECT_EQ(info.m_nShellCommand, CCommandLineInfo::FileNew);
  ASSERT_TRUE(app->ProcessShellCommand(info));
  auto* frame = dynamic_cast<MruFrame*>(app->m_pMainWnd);
  ASSERT_NE(frame, nullptr);
  CString title;
  frame->GetWindowText(title);
  EXPECT_EQ(title, "Untitled - Brivanta");
  EXPECT_NE(frame->GetActiveView(), nullptr);

  // Before any file the list shows its greyed place.
  auto file = driver.MenuItems(frame->m_hWnd, {0});
  ASSERT_GE(file.size(), 3u);
  EXPECT_EQ(file[2].text, "Recent File");
  EXPECT_TRUE(file[2].state & MF_GRAYED);

  const char* paths[] = {"C:\\p\\one.fac", "C:\\p\\two.fac", "C:\\p\\three.fac", "C:\\p\\four.fac", "C:\\p\\two.fac"};
  for (const char* p : paths) ASSERT_NE(app->OpenDocumentFile(p), nullptr);
  frame->GetWindowText(title);
  EXPECT_EQ(title, "two.fac - Brivanta");
  file = driver.MenuItems(frame->m_hWnd, {0});
  std::vector<std::string> texts;
  std::vector<UINT> ids;
  for (const auto& i : file) texts.push_back(i.text), ids.push_back(i.id);
  // shown as POSIX paths, whatever form they came in
  std::vector<std::string> wantTexts = {"&New", "", "&1 /p/two.fac", "&2 /p/four.fac", "&3 /p/three.fac",
                                        "&4 /p/one.fac", "", "E&xit"};
  std::vector<UINT> wantIds = {57600, 0, 57616, 57617, 57618, 57619, 0, 57665};
  EXPECT_EQ(texts, wantTexts);
  EXPECT_EQ(ids, wantIds);

  // Choosing an entry opens it and brings it to the top.
  auto* doc = dynamic_cast<MruDoc*>(frame->GetActiveDocument());
  ASSERT_NE(doc, nullptr);
  int opened = doc->opened;
  EXPECT_TRUE(driver.ChooseMenu(frame->m_hWnd, 57618));
  EXPECT_EQ(doc->opened, opened + 1);
  EXPECT_EQ(doc->GetPathName(), "/p/three.fac");
  file = driver.MenuItems(frame->m_hWnd, {0});
  EXPECT_EQ(file[2].text, "&1 /p/three.fac");

  // The list is in the settings for the next start.
  brv::RecentFileList stored(4);
  stored.ReadList();
  ASSERT_EQ(stored.GetCount(), 4);
  EXPECT_EQ(stored[0], "/p/three.fac");
  EXPECT_EQ(stored[3], "/p/one.fac");
}

TEST_F(TemplateTest, CommandLineQuotesFlagsAndFileOpen) {
  app = std::make_unique<MruApp>();
  char arg0[] = "brivanta", arg1[] = "C:\\My Files\\a.fac", arg2[] = "-DAZStudio,1.0";
  char* argv[] = {arg0, arg1, arg2};
  app->SetCommandLine(3, argv);
  EXPECT_STREQ(app->m_lpCmdLine, "\"C:\\My Files\\a.fac\" -DAZStudio,1.0");
  CCommandLineInfo info;
  app->ParseCommandLine(info);
  EXPECT_EQ(info.m_nShellCommand, CCommandLineInfo::FileOpen);
  EXPECT_EQ(info.m_strFileName, "C:\\My Files\\a.fac");
}

TEST_F(TemplateTest, AnAbsolutePathOnTheCommandLineIsAFileNotASwitch) {
  app = std::make_unique<MruApp>();
  char arg0[] = "brivanta", arg1[] = "/home/anna/my face.fac";
  char* argv[] = {arg0, arg1};
  app->SetCommandLine(2, argv);
  CCommandLineInfo info;
  app->ParseCommandLine(info);
  EXPECT_EQ(info.m_nShellCommand, CCommandLineInfo::FileOpen);
  EXPECT_EQ(info.m_strFileName, "/home/anna/my face.fac");
}

TEST_F(TemplateTest, LongRecentPathsAreShortenedInTheMenu) {
  app = std::make_unique<MruApp>();
  app->AddDocTemplate(new CSingleDocTemplate(900, RUNTIME_CLASS(MruDoc), RUNTIME_CLASS(MruFrame), RUNTIME_CLASS(MruView)));
  app->LoadStdProfileSettings(4);
  app->OnFileNew();
  app->AddToRecentFileList("C:\\projects\\clients\\2005\\march\\face.fac");
  auto file = driver.MenuItems(app->m_pMainWnd->m_hWnd, {0});
  EXPECT_EQ(file[2].text, "&1 /.../2005/march/face.fac");
}

}  // namespace

namespace {

// The frame's close: documents closed, the main window gone, the quit
// message ends the application's loop with code 0.
TEST_F(TemplateTest, ClosingTheMainFrameEndsTheLoop) {
  app = std::make_unique<MruApp>();
  app->AddDocTemplate(new CSingleDocTemplate(900, RUNTIME_CLASS(MruDoc), RUNTIME_CLASS(MruFrame), RUNTIME_CLASS(MruView)));
  app->OnFileNew();
  ASSERT_NE(app->m_pMainWnd, nullptr);
  HWND frame = app->m_pMainWnd->m_hWnd;
  driver.CloseBox(frame);
  EXPECT_FALSE(IsWindow(frame));
  EXPECT_EQ(app->m_pMainWnd, nullptr);
  int code = -1;
  driver.Run([&] { code = app->Run(); });
  EXPECT_EQ(code, 0);
}

}  // namespace
