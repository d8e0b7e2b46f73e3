// Message boxes, file dialogs and the clipboard of the Qt backend.
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QImageReader>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>

#include <cstring>

#include "framework/clipboard.h"
#include "framework/filedialog.h"
#include "qtbackend/qt_internal.h"

namespace brv {

namespace {

QString ButtonText(int id) {
  switch (id) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "&Abort";
    case IDRETRY: return "&Retry";
    case IDIGNORE: return "&Ignore";
    case IDYES: return "&Yes";
    case IDNO: return "&No";
    default: return "OK";
  }
}

QWidget* DialogParent(QtBackendImpl& impl) {
  HWND active = State().active;
  TopWindow* t = impl.Top(active);
  return t && t->isVisible() ? t : nullptr;
}

// The largest picture taken from the clipboard, either way.
constexpr int64_t kClipboardSide = 16384;

}  // namespace

void AllowClipboardPictures() {
  // Qt's image reader refuses pictures above 128 MB decoded; the largest
  // the clipboard may carry, at 16 bits a channel with alpha (8 bytes a
  // pixel, how Qt decodes a 16-bit PNG), is let through.
  constexpr int64_t kLargestMegabytes = kClipboardSide * kClipboardSide * 8 / (1024 * 1024);
  if (QImageReader::allocationLimit() != 0 && QImageReader::allocationLimit() < kLargestMegabytes)
    QImageReader::setAllocationLimit(static_cast<int>(kLargestMegabytes));
}

// ---------------------------------------------------------------- message boxes

int QtBackend::ShowMessageBox(const MessageBoxRequest& request) {
  QtBackendImpl& I = *impl_;
  QMessageBox box(DialogParent(I));
  box.setWindowTitle(QString::fromUtf8(request.caption.c_str()));
  box.setText(QString::fromUtf8(request.text.c_str()));
  box.setTextFormat(Qt::PlainText);
  switch (request.type & MB_ICONMASK) {
    case MB_ICONHAND: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONASTERISK: box.setIcon(QMessageBox::Information); break;
    default: break;
  }
  // All of one role, so that the layout keeps the Windows order; Escape and
  // the close box work only with a Cancel button or OK alone.
  std::vector<std::pair<QPushButton*, int>> buttons;
  QPushButton* escape = nullptr;
  for (int id : request.buttons) {
    QPushButton* b = box.addButton(ButtonText(id), QMessageBox::ActionRole);
    buttons.emplace_back(b, id);
    if (id == IDCANCEL) escape = b;
  }
  if (!escape && request.buttons.size() == 1 && request.buttons[0] == IDOK) escape = buttons[0].first;
  if (escape) box.setEscapeButton(escape);
  if (!buttons.empty()) box.setDefaultButton(buttons[static_cast<size_t>(request.defaultButton)].first);
  int result = 0;
  QObject::connect(&box, &QMessageBox::buttonClicked, &box, [&](QAbstractButton* b) {
    for (auto& [button, id] : buttons)
      if (button == b) result = id;
  });
  box.setWindowModality(Qt::ApplicationModal);
  box.show();
  I.openDialogs.emplace_back(&box);
  I.RunNestedLoop([&] { return !box.isVisible(); }, &box);
  I.openDialogs.pop_back();
  if (!result) result = request.buttons.empty() ? IDOK : request.buttons[static_cast<size_t>(request.defaultButton)];
  return result;
}

namespace {

RECT ScreenRect(const QWidget* w) {
  QPoint o = w->mapToGlobal(QPoint(0, 0));
  return RECT{o.x(), o.y(), o.x() + w->width(), o.y() + w->height()};
}

}  // namespace

void QtBackend::SetIdleHook(std::function<void()> hook) { impl_->idleHook = std::move(hook); }

std::vector<QtDialogInfo> QtBackend::OpenDialogs() const {
  std::vector<QtDialogInfo> out;
  for (const QPointer<QWidget>& d : impl_->openDialogs) {
    if (!d || !d->isVisible()) continue;
    QtDialogInfo info;
    info.title = d->windowTitle().toStdString();
    info.rect = ScreenRect(d);
    if (auto* box = qobject_cast<QMessageBox*>(d)) {
      info.kind = "message";
      info.text = box->text().toStdString();
    } else {
      info.kind = "file";
      if (auto* name = d->findChild<QLineEdit*>("fileNameEdit")) {
        info.nameEdit = ScreenRect(name);
        info.nameEditFocused = name->hasFocus() && d->isActiveWindow();
      }
    }
    for (QPushButton* b : d->findChildren<QPushButton*>()) {
      if (!b->isVisible()) continue;
      info.buttons.push_back({b->text().remove('&').toStdString(), ScreenRect(b), b->isDefault()});
    }
    out.push_back(std::move(info));
  }
  // The menu bars and an open menu: where their items are.
  // The lit item is the default one: Enter runs it.
  auto items = [](QWidget* w, const QList<QAction*>& actions, auto geometry, QAction* lit, QtDialogInfo& info) {
    for (QAction* a : actions) {
      if (a->isSeparator() || !a->isVisible()) continue;
      QRect g = geometry(a);
      if (g.isEmpty()) continue;
      QPoint o = w->mapToGlobal(g.topLeft());
      info.buttons.push_back({a->text().remove('&').section('\t', 0, 0).toStdString(),
                              RECT{o.x(), o.y(), o.x() + g.width(), o.y() + g.height()}, a == lit});
    }
  };
  for (auto& [h, t] : impl_->tops) {
    QMenuBar* bar = t->Bar();
    if (!bar || !bar->isVisible() || !t->isVisible()) continue;
    QtDialogInfo info{"menubar", t->windowTitle().toStdString(), "", ScreenRect(bar), {}, {}};
    items(bar, bar->actions(), [bar](QAction* a) { return bar->actionGeometry(a); }, bar->activeAction(), info);
    out.push_back(std::move(info));
  }
  if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
    QtDialogInfo info{"menu", menu->title().remove('&').toStdString(), "", ScreenRect(menu), {}, {}};
    items(menu, menu->actions(), [menu](QAction* a) { return menu->actionGeometry(a); }, menu->activeAction(), info);
    out.push_back(std::move(info));
  }
  return out;
}

// ---------------------------------------------------------------- file dialogs

namespace {

// Accepting goes through the framework's rules (extension, must exist,
// overwrite prompt), at a safe point.
class ProgramFileDialog : public QFileDialog {
 public:
  ProgramFileDialog(QWidget* parent, std::function<void(QString)> onAccept)
      : QFileDialog(parent), onAccept_(std::move(onAccept)) {}
  void accept() override {
    // What the name box says is the choice: Qt's list keeps selected every
    // folder a typed path went through (the root first), beside the file.
    auto* name = findChild<QLineEdit*>("fileNameEdit");
    QString chosen;
    if (name && !name->text().isEmpty()) {
      chosen = name->text();
      if (chosen == "~" || chosen.startsWith("~/")) chosen = QDir::homePath() + chosen.mid(1);
      chosen = QDir::cleanPath(directory().absoluteFilePath(chosen));
    } else {
      QStringList files = selectedFiles();
      chosen = files.isEmpty() ? QString() : files.front();
    }
    // A folder is opened in the dialog, as a double click opens it.
    if (name && !chosen.isEmpty() && QFileInfo(chosen).isDir()) {
      setDirectory(chosen);
      name->clear();
      return;
    }
    onAccept_(chosen);
  }
  void Finish() { QDialog::done(QDialog::Accepted); }

 private:
  std::function<void(QString)> onAccept_;
};

// A Windows mask as a Qt pattern: "*.*" is every name; letters match either case.
QString Pattern(const std::string& mask) {
  if (mask == "*.*") return "*";
  QString out;
  for (QChar c : QString::fromUtf8(mask.c_str())) {
    if (c.isLetter() && c.toLower() != c.toUpper())
      out += QString("[%1%2]").arg(c.toLower()).arg(c.toUpper());
    else
      out += c;
  }
  return out;
}

std::string Encode(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString Decode(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

}  // namespace

int QtBackend::RunFileDialog(FileDialogSession& session) {
  QtBackendImpl& I = *impl_;
  bool accepted = false;
  ProgramFileDialog* dialog = nullptr;
  ProgramFileDialog dlg(DialogParent(I), [&](QString path) {
    I.Defer([&, path] {
      if (session.Accept(Encode(path))) {
        accepted = true;
        if (dialog) dialog->Finish();
      }
    });
  });
  dialog = &dlg;
  dlg.setOption(QFileDialog::DontUseNativeDialog);
  dlg.setOption(QFileDialog::HideNameFilterDetails);
  dlg.setOption(QFileDialog::DontConfirmOverwrite);
  dlg.setAcceptMode(session.IsOpen() ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dlg.setFileMode(QFileDialog::AnyFile);
  dlg.setWindowTitle(QString::fromUtf8(session.Title().c_str()));
  dlg.setDirectory(Decode(session.InitialFolder()));
  QStringList filters, descriptions;
  for (const auto& f : session.Filters()) {
    QStringList patterns;
    for (const std::string& m : f.masks) patterns << Pattern(m);
    descriptions << QString::fromUtf8(f.description.c_str());
    filters << descriptions.back() + " (" + patterns.join(' ') + ")";
  }
  // Qt names a filter by its whole text or, with the details hidden, by
  // the description alone.
  auto indexOf = [&](const QString& filter) {
    qsizetype i = filters.indexOf(filter);
    if (i < 0) i = descriptions.indexOf(filter);
    return static_cast<int>(i) + 1;
  };
  if (!filters.isEmpty()) {
    dlg.setNameFilters(filters);
    int index = session.FilterIndex();
    if (index >= 1 && index <= filters.size()) dlg.selectNameFilter(filters[index - 1]);
  }
  std::string initial = session.InitialName();
  if (!initial.empty()) dlg.selectFile(Decode(initial));
  QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&](const QString& filter) {
    int index = indexOf(filter);
    if (index > 0) I.Defer([&session, index] { session.SetFilterIndex(index); });
  });
  QObject::connect(&dlg, &QFileDialog::currentChanged, &dlg, [&](const QString& path) {
    std::string p = Encode(path);
    I.Defer([&session, p] { session.Select(p); });
  });
  // A name typed into the name box selects that file as a click in the
  // list does (the preview follows it).
  if (auto* name = dlg.findChild<QLineEdit*>("fileNameEdit"))
    QObject::connect(name, &QLineEdit::textEdited, &dlg, [&](const QString& text) {
      QFileInfo typed(QDir(dlg.directory()).filePath(text));
      if (text.isEmpty() || !typed.isFile()) return;
      std::string p = Encode(typed.absoluteFilePath());
      I.Defer([&session, p] { session.Select(p); });
    });
  // The layout's child dialog beside the file list: the window's surface
  // seen through a panel of the child's size.
  TopWindow* host = I.Top(session.Window());
  HWND extension = session.TemplateWindow();
  QWidget* panel = nullptr;
  if (host) {
    host->embedded = true;
    host->hide();
  }
  if (host && extension && Record(extension)) {
    CRect area = WindowOnSurface(extension);
    panel = new QWidget;
    panel->setFixedSize(area.Width(), area.Height());
    host->View()->setParent(panel);
    host->View()->move(-area.left, -area.top);
    host->View()->show();
    if (auto* grid = qobject_cast<QGridLayout*>(dlg.layout()))
      grid->addWidget(panel, 0, grid->columnCount(), grid->rowCount(), 1, Qt::AlignTop);
  }
  dlg.setWindowModality(Qt::ApplicationModal);
  dlg.show();
  I.openDialogs.emplace_back(&dlg);
  I.RunNestedLoop([&] { return !dlg.isVisible(); }, &dlg);
  I.openDialogs.pop_back();
  if (TopWindow* t = I.Top(session.Window())) {
    if (panel) {
      t->View()->setParent(t);
      t->View()->move(0, t->MenuHeight());
      t->View()->show();
    }
    t->embedded = false;
    I.ApplyGeometry(t);
  }
  if (int index = indexOf(dlg.selectedNameFilter()); index > 0) session.SetFilterIndex(index);
  return accepted ? IDOK : IDCANCEL;
}

// ---------------------------------------------------------------- clipboard

namespace {

// A packed 32-bit bottom-up DIB of a picture; sizes in 64 bits.
std::vector<uint8_t> DibOf(const QImage& picture) {
  QImage image = picture.convertToFormat(QImage::Format_RGB32);
  int64_t w = image.width(), h = image.height();
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = static_cast<LONG>(w);
  header.biHeight = static_cast<LONG>(h);
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  uint64_t bytes = static_cast<uint64_t>(w) * static_cast<uint64_t>(h) * 4;
  header.biSizeImage = static_cast<DWORD>(bytes);
  std::vector<uint8_t> out(sizeof header + bytes);
  std::memcpy(out.data(), &header, sizeof header);
  uint8_t* p = out.data() + sizeof header;
  for (int64_t y = h - 1; y >= 0; --y) {
    const auto* row = reinterpret_cast<const uint32_t*>(image.constScanLine(static_cast<int>(y)));
    for (int64_t x = 0; x < w; ++x) {
      uint32_t px = row[x];
      *p++ = static_cast<uint8_t>(px & 0xFF);
      *p++ = static_cast<uint8_t>((px >> 8) & 0xFF);
      *p++ = static_cast<uint8_t>((px >> 16) & 0xFF);
      *p++ = 0;
    }
  }
  return out;
}

uint32_t BigEndian(const char* p) {
  auto b = reinterpret_cast<const unsigned char*>(p);
  return (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
}

}  // namespace

ClipboardContents QtBackend::ReadClipboard() {
  ClipboardContents c;
  const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
  if (!data) return c;
  if (data->hasImage()) {
    // A picture's size is looked at before it is decoded where the format
    // tells it (PNG); a picture too large counts as none.
    int64_t w = -1, h = -1;
    if (data->hasFormat("image/png")) {
      QByteArray png = data->data("image/png");
      if (png.size() >= 24 && std::memcmp(png.constData() + 12, "IHDR", 4) == 0) {
        w = BigEndian(png.constData() + 16);
        h = BigEndian(png.constData() + 20);
      }
    }
    QImage picture;
    if (w < 0 || (w <= kClipboardSide && h <= kClipboardSide)) {
      picture = qvariant_cast<QImage>(data->imageData());
      if (!picture.isNull()) w = picture.width(), h = picture.height();
    }
    if (w > kClipboardSide || h > kClipboardSide) {
      Log("clipboard: the picture of " + std::to_string(w) + " x " + std::to_string(h) +
          " pixels is larger than 16384 x 16384; the clipboard counts as empty");
    } else if (!picture.isNull()) {
      c.dib = DibOf(picture);
    }
  }
  if (data->hasText()) c.text = data->text().toUtf8().toStdString();
  return c;
}

void QtBackend::WriteClipboard(const ClipboardContents& contents) {
  auto* data = new QMimeData;
  if (contents.dib) {
    Surface s;
    if (DecodePackedDib(contents.dib->data(), contents.dib->size(), &s)) data->setImageData(ImageOver(s).copy());
  }
  if (contents.text) data->setText(QString::fromUtf8(contents.text->c_str()));
  QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
}

}  // namespace brv
