// Native controls: Qt widgets placed from the framework's geometry and kept
// in step with the framework's state; their input goes to the framework
// first and comes back to the widget only through ControlDefault.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QTextBlock>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>

#include "framework/controls.h"
#include "framework/system.h"
#include "qtbackend/qt_internal.h"

namespace brv {

namespace {

// The report list: the state image's place is asked of the style.
class ReportList : public QTreeWidget {
 public:
  using QTreeWidget::QTreeWidget;
  QRect DecorationRect(QTreeWidgetItem* item) {
    QModelIndex index = indexFromItem(item, 0);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    option.features |= QStyleOptionViewItem::HasDecoration;
    option.decorationSize = iconSize();
    option.icon = item->icon(0);
    option.text = item->text(0);
    option.features |= QStyleOptionViewItem::HasDisplay;
    return style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &option, this);
  }
};

enum class Kind { kNone, kPush, kCheck, kRadio, kPicture, kLine, kMulti, kCombo, kSlider, kProgress, kList, kTab };

Kind KindOf(const WindowRecord& r) {
  if (!r.control) return Kind::kNone;
  switch (r.control->Type()) {
    case ControlType::kButton: {
      UINT type = r.style & BS_TYPEMASK;
      if (type == BS_GROUPBOX || type > BS_AUTORADIOBUTTON) return Kind::kNone;
      bool radio = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
      bool check = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
      if ((radio || check) && (r.style & (BS_PUSHLIKE | BS_BITMAP | BS_ICON))) return Kind::kPicture;
      if (radio) return Kind::kRadio;
      if (check) return Kind::kCheck;
      return Kind::kPush;
    }
    case ControlType::kEdit: return (r.style & ES_MULTILINE) ? Kind::kMulti : Kind::kLine;
    case ControlType::kCombo: return Kind::kCombo;
    case ControlType::kSlider: return Kind::kSlider;
    case ControlType::kProgress: return Kind::kProgress;
    case ControlType::kList: return Kind::kList;
    case ControlType::kTab: return Kind::kTab;
    default: return Kind::kNone;
  }
}

QString Text(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string Utf8(const QString& s) { return s.toUtf8().toStdString(); }

// Byte offsets of the framework's UTF-8 text and Qt's UTF-16 positions.
int QtPosition(const std::string& text, int bytes) {
  bytes = std::clamp(bytes, 0, static_cast<int>(text.size()));
  return static_cast<int>(QString::fromUtf8(text.data(), bytes).size());
}
int BytePosition(const QString& text, int position) {
  return static_cast<int>(text.left(position).toUtf8().size());
}

// Multi-line edits keep "\r\n" in the framework and "\n" in Qt.
QString FromFramework(const std::string& text) {
  QString s = Text(text);
  s.replace("\r\n", "\n");
  return s;
}
std::string ToFramework(const QString& text) {
  QString s = text;
  s.replace("\n", "\r\n");
  return Utf8(s);
}

QPixmap PixmapOf(HBITMAP bitmap) {
  Surface* s = BitmapSurface(bitmap);
  if (!s || s->IsEmpty()) return QPixmap();
  return QPixmap::fromImage(ImageOver(*s).copy());
}

QPixmap PixmapOf(CImageList* list, int image) {
  if (!list || image < 0 || image >= list->GetImageCount()) return QPixmap();
  CSize size = list->GetImageSize();
  QImage picture(size.cx, size.cy, QImage::Format_ARGB32);
  for (int y = 0; y < size.cy; ++y)
    for (int x = 0; x < size.cx; ++x) {
      COLORREF c = list->GetPixel(image, x, y);
      bool clear = list->IsTransparent(image, x, y);
      picture.setPixel(x, y, clear ? 0u : qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
    }
  return QPixmap::fromImage(picture);
}

// The control's client point in its widget (which covers the whole window).
QPoint WidgetPoint(HWND h, POINT client) {
  CRect c = ClientOnSurface(h);
  CRect w = WindowOnSurface(h);
  return QPoint(client.x + c.left - w.left, client.y + c.top - w.top);
}

bool IsEditLike(QWidget* w) {
  return qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
         (qobject_cast<QComboBox*>(w) && static_cast<QComboBox*>(w)->isEditable());
}

}  // namespace

// ---------------------------------------------------------------- making

void QtBackendImpl::Track(QWidget* widget, HWND control) {
  controlOf[widget] = control;
  widget->installEventFilter(filter.get());
  if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) {
    controlOf[area->viewport()] = control;
    area->viewport()->installEventFilter(filter.get());
  }
  widget->setMouseTracking(true);
}

QWidget* QtBackendImpl::MakeControl(HWND h) {
  WindowRecord* r = Record(h);
  TopWindow* t = TopOf(h);
  if (!r || !t) return nullptr;
  QWidget* parent = t->View();
  QWidget* w = nullptr;
  switch (KindOf(*r)) {
    case Kind::kNone: return nullptr;
    case Kind::kPush: {
      auto* b = new QPushButton(parent);
      b->setAutoDefault(false);
      w = b;
      break;
    }
    case Kind::kCheck: w = new QCheckBox(parent); break;
    case Kind::kRadio: {
      auto* b = new QRadioButton(parent);
      b->setAutoExclusive(false);  // the framework's groups decide
      w = b;
      break;
    }
    case Kind::kPicture: {
      auto* b = new QToolButton(parent);
      b->setCheckable(true);
      b->setAutoExclusive(false);
      b->setToolButtonStyle(Qt::ToolButtonIconOnly);
      w = b;
      break;
    }
    case Kind::kLine: w = new QLineEdit(parent); break;
    case Kind::kMulti: {
      auto* e = new QPlainTextEdit(parent);
      e->setTabChangesFocus(false);
      w = e;
      break;
    }
    case Kind::kCombo: w = new QComboBox(parent); break;
    case Kind::kSlider: w = new QSlider(parent); break;
    case Kind::kProgress: {
      auto* p = new QProgressBar(parent);
      p->setTextVisible(false);
      w = p;
      break;
    }
    case Kind::kList: {
      auto* l = new ReportList(parent);
      l->setRootIsDecorated(false);
      l->setIndentation(0);
      l->setUniformRowHeights(true);
      l->setAllColumnsShowFocus(true);
      l->setFocusPolicy(Qt::StrongFocus);
      w = l;
      break;
    }
    case Kind::kTab: {
      auto* tab = new QTabBar(parent);
      tab->setDrawBase(true);
      tab->setExpanding(false);
      w = tab;
      break;
    }
  }
  w->setAttribute(Qt::WA_MacShowFocusRect, false);
  Track(w, h);
  ConnectControl(h, w);
  return w;
}

void QtBackendImpl::ConnectControl(HWND h, QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    QObject::connect(b, &QAbstractButton::clicked, b, [this, h] {
      if (!syncing) Defer([h] {
        if (Record(h)) ClickButton(h);
      });
    });
  } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
    QObject::connect(e, &QLineEdit::textEdited, e, [this, h, e](const QString& text) {
      std::string now = Utf8(text);
      int caret = BytePosition(text, e->cursorPosition());
      Defer([h, now, caret] {
        if (Record(h)) UserEditText(h, now, caret);
      });
    });
    auto selection = [this, h, e] {
      EditData* d = ControlOf<EditData>(h);
      if (!d || syncing) return;
      QString text = e->text();
      int caret = e->cursorPosition();
      int anchor = e->hasSelectedText() ? (e->selectionStart() == caret ? e->selectionEnd() : e->selectionStart()) : caret;
      d->selStart = BytePosition(text, anchor);
      d->selEnd = BytePosition(text, caret);
    };
    QObject::connect(e, &QLineEdit::cursorPositionChanged, e, selection);
    QObject::connect(e, &QLineEdit::selectionChanged, e, selection);
  } else if (auto* m = qobject_cast<QPlainTextEdit*>(w)) {
    QObject::connect(m, &QPlainTextEdit::textChanged, m, [this, h, m] {
      if (syncing) return;
      QString text = m->toPlainText();
      QTextCursor c = m->textCursor();
      std::string now = ToFramework(text);
      int caret = static_cast<int>(ToFramework(text.left(c.position())).size());
      Defer([h, now, caret] {
        WindowRecord* r = Record(h);
        if (r && r->text != now) UserEditText(h, now, caret);
      });
    });
    QObject::connect(m, &QPlainTextEdit::cursorPositionChanged, m, [this, h, m] {
      EditData* d = ControlOf<EditData>(h);
      if (!d || syncing) return;
      QString text = m->toPlainText();
      QTextCursor c = m->textCursor();
      d->selStart = static_cast<int>(ToFramework(text.left(c.anchor())).size());
      d->selEnd = static_cast<int>(ToFramework(text.left(c.position())).size());
    });
  } else if (auto* c = qobject_cast<QComboBox*>(w)) {
    QObject::connect(c, &QComboBox::activated, c, [this, h](int index) {
      Defer([h, index] {
        if (Record(h)) UserSelectCombo(h, index);
      });
    });
  } else if (auto* s = qobject_cast<QSlider*>(w)) {
    QObject::connect(s, &QSlider::sliderMoved, s, [this, h](int value) {
      if (syncing) return;
      Defer([h, value] {
        if (Record(h)) UserMovedSlider(h, value, TB_THUMBTRACK);
      });
    });
    QObject::connect(s, &QSlider::sliderReleased, s, [this, h] {
      if (syncing) return;
      Defer([h] {
        SliderData* d = ControlOf<SliderData>(h);
        if (!d) return;
        UserMovedSlider(h, d->pos, TB_THUMBPOSITION);
        if ((d = ControlOf<SliderData>(h))) UserMovedSlider(h, d->pos, TB_ENDTRACK);
      });
    });
    QObject::connect(s, &QSlider::actionTriggered, s, [this, h, s](int action) {
      if (syncing) return;
      UINT code;
      switch (action) {
        case QAbstractSlider::SliderSingleStepAdd: code = TB_LINEDOWN; break;
        case QAbstractSlider::SliderSingleStepSub: code = TB_LINEUP; break;
        case QAbstractSlider::SliderPageStepAdd: code = TB_PAGEDOWN; break;
        case QAbstractSlider::SliderPageStepSub: code = TB_PAGEUP; break;
        case QAbstractSlider::SliderToMinimum: code = TB_TOP; break;
        case QAbstractSlider::SliderToMaximum: code = TB_BOTTOM; break;
        default: return;  // a drag: sliderMoved
      }
      // Qt's position is the new one; its value follows after this signal.
      int position = s->sliderPosition();
      sliderPaged[h] = true;
      Defer([h, position, code] {
        if (Record(h)) UserMovedSlider(h, position, code);
      });
    });
  } else if (auto* l = qobject_cast<QTreeWidget*>(w)) {
    QObject::connect(l, &QTreeWidget::itemSelectionChanged, l, [this, h, l] {
      if (syncing) return;
      QTreeWidgetItem* current = l->currentItem();
      QList<QTreeWidgetItem*> selected = l->selectedItems();
      int row = -1;
      if (!selected.isEmpty()) row = l->indexOfTopLevelItem(current && current->isSelected() ? current : selected.front());
      Defer([h, row] {
        if (Record(h)) UserSelectListItem(h, row);
      });
    });
  }
}

// ---------------------------------------------------------------- state

void QtBackendImpl::PlaceControl(HWND h, QWidget* w) {
  CRect r = WindowOnSurface(h);
  QRect g(r.left, r.top, std::max(0, r.Width()), std::max(0, r.Height()));
  // A combo box's layout height holds its drop-down list; a tab control's
  // widget is its row of tabs (the page is the dialog's own).
  if (qobject_cast<QComboBox*>(w)) g.setHeight(std::min(g.height(), w->sizeHint().height()));
  if (auto* tab = qobject_cast<QTabBar*>(w)) {
    int strip = tab->count() ? tab->sizeHint().height() : tab->fontMetrics().height() + 10;
    g.setHeight(std::min(g.height(), strip));
  }
  if (w->geometry() != g) w->setGeometry(g);
  // Shown with its parents inside the top-level window; the top-level
  // window's own visibility is its widget's.
  bool visible = g.width() > 0 && g.height() > 0;
  for (WindowRecord* r = Record(h); visible && r && r->IsChild(); r = Record(r->parent))
    visible = (r->style & WS_VISIBLE) != 0;
  if (w->isVisibleTo(w->parentWidget()) != visible) w->setVisible(visible);
}

void QtBackendImpl::SyncAllControls(HWND top) {
  for (auto& [h, w] : controls)
    if (TopLevelOf(h) == top) {
      WindowRecord* r = Record(h);
      if (!r) continue;
      PlaceControl(h, w);
      w->setEnabled(!(r->style & WS_DISABLED));
    }
}

void QtBackendImpl::SyncControl(HWND h) {
  WindowRecord* r = Record(h);
  auto it = controls.find(h);
  if (!r || it == controls.end()) return;
  QWidget* w = it->second;
  ++syncing;
  QSignalBlocker block(w);
  PlaceControl(h, w);
  w->setEnabled(!(r->style & WS_DISABLED));
  if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    auto* d = ControlOf<ButtonData>(h);
    UINT type = r->style & BS_TYPEMASK;
    if (auto* tool = qobject_cast<QToolButton*>(w)) {
      QPixmap picture = d && d->bitmap ? PixmapOf(d->bitmap) : QPixmap();
      if (!picture.isNull()) {
        tool->setIcon(QIcon(picture));
        tool->setIconSize(picture.size());
        tool->setText(QString());
      } else {
        tool->setIcon(QIcon());
        tool->setText(Text(r->text));
        tool->setToolButtonStyle(Qt::ToolButtonTextOnly);
      }
    } else if (b->text() != Text(r->text)) {
      b->setText(Text(r->text));
    }
    if (auto* push = qobject_cast<QPushButton*>(w)) {
      push->setDefault(ShowsDefault(h));
      if (d && d->bitmap) {
        QPixmap picture = PixmapOf(d->bitmap);
        push->setIcon(QIcon(picture));
        push->setIconSize(picture.size());
      }
      push->setDown(d && d->pushed);
    }
    if (auto* check = qobject_cast<QCheckBox*>(w)) {
      check->setTristate(type == BS_3STATE || type == BS_AUTO3STATE);
      check->setCheckState(!d || d->check == BST_UNCHECKED ? Qt::Unchecked
                           : d->check == BST_CHECKED        ? Qt::Checked
                                                            : Qt::PartiallyChecked);
    } else if (b->isCheckable() && d) {
      b->setChecked(d->check == BST_CHECKED);
    }
  } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
    auto* d = ControlOf<EditData>(h);
    e->setEchoMode((r->style & ES_PASSWORD) ? QLineEdit::Password : QLineEdit::Normal);
    e->setReadOnly(r->style & ES_READONLY);
    e->setFrame((r->style & WS_BORDER) || (r->exStyle & WS_EX_CLIENTEDGE));
    e->setAlignment((r->style & ES_RIGHT) ? Qt::AlignRight : (r->style & ES_CENTER) ? Qt::AlignHCenter : Qt::AlignLeft);
    if (d) e->setMaxLength(d->limit > 0 ? d->limit : 32767);
    QString text = Text(r->text);
    if (e->text() != text) e->setText(text);
    if (d) {
      int a = QtPosition(r->text, d->selStart), c = QtPosition(r->text, d->selEnd);
      if (a == c) {
        if (e->hasSelectedText() || e->cursorPosition() != c) e->setCursorPosition(c);
      } else {
        e->setSelection(a, c - a);
      }
    }
  } else if (auto* m = qobject_cast<QPlainTextEdit*>(w)) {
    auto* d = ControlOf<EditData>(h);
    m->setReadOnly(r->style & ES_READONLY);
    m->setFrameShape(((r->style & WS_BORDER) || (r->exStyle & WS_EX_CLIENTEDGE)) ? QFrame::StyledPanel : QFrame::NoFrame);
    m->setVerticalScrollBarPolicy((r->style & WS_VSCROLL) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    QString text = FromFramework(r->text);
    if (m->toPlainText() != text) m->setPlainText(text);
    if (d) {
      auto pos = [&](int bytes) {
        return static_cast<int>(FromFramework(r->text.substr(0, static_cast<size_t>(std::clamp(bytes, 0, static_cast<int>(r->text.size()))))).size());
      };
      QTextCursor c = m->textCursor();
      int anchor = pos(d->selStart), caret = pos(d->selEnd);
      if (c.anchor() != anchor || c.position() != caret) {
        c.setPosition(anchor);
        c.setPosition(caret, QTextCursor::KeepAnchor);
        m->setTextCursor(c);
      }
    }
  } else if (auto* c = qobject_cast<QComboBox*>(w)) {
    auto* d = ControlOf<ComboData>(h);
    if (d) {
      bool same = c->count() == static_cast<int>(d->items.size());
      for (int i = 0; same && i < c->count(); ++i) same = c->itemText(i) == Text(d->items[static_cast<size_t>(i)].text);
      if (!same) {
        c->clear();
        for (const ComboItem& item : d->items) c->addItem(Text(item.text));
      }
      c->setCurrentIndex(d->current);
    }
  } else if (auto* s = qobject_cast<QSlider*>(w)) {
    auto* d = ControlOf<SliderData>(h);
    s->setOrientation((r->style & TBS_VERT) ? Qt::Vertical : Qt::Horizontal);
    if (d) {
      s->setRange(d->min, std::max(d->min, d->max));
      s->setSingleStep(d->line);
      s->setPageStep(d->page);
      if (!s->isSliderDown()) s->setValue(d->pos);
      s->setTickInterval(std::max(1, d->ticFreq));
    }
    if (r->style & TBS_NOTICKS)
      s->setTickPosition(QSlider::NoTicks);
    else if (r->style & TBS_BOTH)
      s->setTickPosition(QSlider::TicksBothSides);
    else if (r->style & TBS_TOP)
      s->setTickPosition(QSlider::TicksAbove);
    else
      s->setTickPosition(QSlider::TicksBelow);
  } else if (auto* p = qobject_cast<QProgressBar*>(w)) {
    auto* d = ControlOf<ProgressData>(h);
    p->setOrientation((r->style & PBS_VERTICAL) ? Qt::Vertical : Qt::Horizontal);
    if (d) {
      p->setRange(std::min(d->lower, d->upper), std::max(d->lower, d->upper));
      p->setValue(d->pos);
    }
  } else if (auto* l = qobject_cast<QTreeWidget*>(w)) {
    auto* d = ControlOf<ListData>(h);
    if (d) {
      int columns = std::max<int>(1, static_cast<int>(d->columns.size()));
      if (l->columnCount() != columns) l->setColumnCount(columns);
      QStringList headers;
      for (size_t i = 0; i < d->columns.size(); ++i) {
        headers << Text(d->columns[i].text);
        if (l->columnWidth(static_cast<int>(i)) != d->columns[i].width)
          l->setColumnWidth(static_cast<int>(i), d->columns[i].width);
      }
      if (!d->columns.empty()) l->setHeaderLabels(headers);
      l->setHeaderHidden((r->style & LVS_NOCOLUMNHEADER) || d->columns.empty());
      l->setSelectionMode((r->style & LVS_SINGLESEL) ? QAbstractItemView::SingleSelection
                                                     : QAbstractItemView::ExtendedSelection);
      CImageList* states = d->images[LVSIL_STATE];
      if (states) l->setIconSize(QSize(states->GetImageSize().cx, states->GetImageSize().cy));
      while (l->topLevelItemCount() > static_cast<int>(d->items.size())) delete l->takeTopLevelItem(l->topLevelItemCount() - 1);
      while (l->topLevelItemCount() < static_cast<int>(d->items.size())) l->addTopLevelItem(new QTreeWidgetItem);
      QTreeWidgetItem* focused = nullptr;
      for (int i = 0; i < static_cast<int>(d->items.size()); ++i) {
        const ListItem& item = d->items[static_cast<size_t>(i)];
        QTreeWidgetItem* row = l->topLevelItem(i);
        for (int c2 = 0; c2 < columns; ++c2) {
          QString t = c2 < static_cast<int>(item.texts.size()) ? Text(item.texts[static_cast<size_t>(c2)]) : QString();
          if (row->text(c2) != t) row->setText(c2, t);
        }
        int state = static_cast<int>((item.state & LVIS_STATEIMAGEMASK) >> 12);
        QPixmap icon = states && state > 0 ? PixmapOf(states, state - 1) : QPixmap();
        row->setIcon(0, icon.isNull() ? QIcon() : QIcon(icon));
        row->setSelected(item.state & LVIS_SELECTED);
        if (item.state & LVIS_FOCUSED) focused = row;
      }
      if (focused && l->currentItem() != focused)
        l->setCurrentItem(focused, 0, QItemSelectionModel::NoUpdate);
      if (d->top >= 0 && d->top < l->topLevelItemCount() && l->verticalScrollBar()->value() != d->top)
        l->scrollToItem(l->topLevelItem(d->top), QAbstractItemView::PositionAtTop);
    }
  } else if (auto* tab = qobject_cast<QTabBar*>(w)) {
    auto* d = ControlOf<TabData>(h);
    if (d) {
      while (tab->count() > static_cast<int>(d->items.size())) tab->removeTab(tab->count() - 1);
      for (int i = 0; i < static_cast<int>(d->items.size()); ++i) {
        if (i >= tab->count()) tab->addTab(Text(d->items[static_cast<size_t>(i)].text));
        else if (tab->tabText(i) != Text(d->items[static_cast<size_t>(i)].text))
          tab->setTabText(i, Text(d->items[static_cast<size_t>(i)].text));
      }
      if (d->current >= 0 && d->current < tab->count()) tab->setCurrentIndex(d->current);
      PlaceControl(h, w);
    }
  }
  --syncing;
}

// ---------------------------------------------------------------- input

bool QtBackendImpl::FilterControlEvent(QObject* watched, HWND h, QEvent* event) {
  QEvent::Type type = event->type();
  bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
               type == QEvent::MouseButtonDblClick || type == QEvent::MouseMove;
  bool key = type == QEvent::KeyPress || type == QEvent::KeyRelease;
  if (!mouse && !key && type != QEvent::Wheel) return false;
  if (replaying) return false;
  WindowRecord* r = Record(h);
  TopWindow* t = TopOf(h);
  if (!r || !t) return false;
  if (r->style & WS_DISABLED) return false;  // Qt passes it to the parent
  HWND top = TopLevelOf(h);
  if (!TopEnabled(top) || draining.count(top)) return true;  // dropped
  auto* widget = static_cast<QWidget*>(watched);
  PendingInput p;
  p.control = h;
  p.receiver = watched;
  p.event.reset(event->clone());
  if (mouse) {
    auto* me = static_cast<QMouseEvent*>(event);
    QPoint at = widget->mapTo(t->View(), me->position().toPoint());
    // Qt's double click stands for the second press.
    int kind = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ? RawInput::kButtonDown
               : type == QEvent::MouseButtonRelease ? RawInput::kButtonUp
                                                    : RawInput::kMouseMove;
    p.kind = kind;
    p.button = me->button() == Qt::LeftButton ? 0 : me->button() == Qt::RightButton ? 1 : 2;
    // Qt moved its focus with the press: the framework's focus decides.
    if (kind == RawInput::kButtonDown) Defer([this] { SyncFocus(); });
    size_t before = State().queue.size();
    PostMouse(top, h, kind, at, me);
    if (State().queue.size() != before) pending.push_back(std::move(p));
    return true;
  }
  if (type == QEvent::Wheel) {
    auto* we = static_cast<QWheelEvent*>(event);
    QPoint at = widget->mapTo(t->View(), we->position().toPoint());
    p.kind = RawInput::kWheel;
    size_t before = State().queue.size();
    PostWheel(top, h, at, we->angleDelta().y(), we->modifiers());
    if (State().queue.size() != before) pending.push_back(std::move(p));
    return true;
  }
  auto* ke = static_cast<QKeyEvent*>(event);
  bool down = type == QEvent::KeyPress;
  size_t before = State().queue.size();
  PostKey(h, ke, down);
  if (State().queue.size() != before) {
    const RawInput& in = State().queue.back().input;
    p.kind = in.kind;
    p.text = down && in.kind == RawInput::kKeyDown && in.text >= 32 && IsEditLike(controls[h]);
    pending.push_back(std::move(p));
  }
  return true;
}

bool QtBackendImpl::HandBack(HWND h, unsigned message) {
  auto wit = controls.find(h);
  if (wit == controls.end()) return false;
  QWidget* w = wit->second;
  int kind;
  int button = -1;
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: kind = RawInput::kButtonDown, button = 0; break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: kind = RawInput::kButtonDown, button = 1; break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: kind = RawInput::kButtonDown, button = 2; break;
    case WM_LBUTTONUP: kind = RawInput::kButtonUp, button = 0; break;
    case WM_RBUTTONUP: kind = RawInput::kButtonUp, button = 1; break;
    case WM_MBUTTONUP: kind = RawInput::kButtonUp, button = 2; break;
    case WM_MOUSEMOVE: kind = RawInput::kMouseMove; break;
    case WM_MOUSEWHEEL: kind = RawInput::kWheel; break;
    case WM_KEYDOWN: kind = RawInput::kKeyDown; break;
    case WM_KEYUP: kind = RawInput::kKeyUp; break;
    case WM_CHAR: kind = RawInput::kChar; break;
    default: return false;
  }
  bool keys = kind == RawInput::kKeyDown || kind == RawInput::kKeyUp || kind == RawInput::kChar;
  // Sliders and tabs take their keys from the framework's own procedures,
  // whose notifications are the Windows ones.
  if (keys && (qobject_cast<QSlider*>(w) || qobject_cast<QTabBar*>(w))) {
    for (auto it = pending.begin(); it != pending.end(); ++it)
      if (it->control == h && (it->kind == kind || (kind == RawInput::kChar && it->kind == RawInput::kKeyDown))) {
        pending.erase(it);
        break;
      }
    return false;
  }
  auto match = pending.end();
  if (kind == RawInput::kChar) {
    // The character of the key last pressed, else a character of its own.
    for (auto it = pending.begin(); it != pending.end(); ++it)
      if (it->control == h && it->awaitingChar && (match == pending.end() || it->awaitingChar > match->awaitingChar))
        match = it;
    if (match == pending.end())
      match = std::find_if(pending.begin(), pending.end(),
                           [h](const PendingInput& e) { return e.control == h && e.kind == RawInput::kChar; });
  } else {
    for (auto it = pending.begin(); it != pending.end(); ++it) {
      if (it->control != h || it->awaitingChar) continue;
      if (it->kind == kind && (button < 0 || it->button == button)) {
        match = it;
        break;
      }
    }
  }
  if (match == pending.end()) {
    // An edit widget typed the key's character when the key came: the
    // framework's own editing must not type it again.
    return kind == RawInput::kChar && IsEditLike(w);
  }
  // A key that types reaches an edit with its character (WM_CHAR), so that
  // a subclass that keeps the character keeps it from the widget too.
  if (kind == RawInput::kKeyDown && match->text) {
    match->awaitingChar = ++keySequence;
    return true;
  }
  if (kind == RawInput::kChar) {
    WindowRecord* r = Record(h);
    auto* ke = static_cast<QKeyEvent*>(match->event.get());
    QString text = ke->text();
    if (r && (r->style & ES_NUMBER) && (text.isEmpty() || text.at(0) < '0' || text.at(0) > '9')) {
      pending.erase(match);
      MessageBeep(0);
      return true;
    }
  }
  PendingInput p = std::move(*match);
  // Older input of the control never came back: the program kept it. The
  // entry taken goes too, or it would answer the control's next message.
  pending.erase(std::remove_if(pending.begin(), match, [h](const PendingInput& e) { return e.control == h; }),
                std::next(match));
  if (!p.receiver) return true;
  if (auto* tab = qobject_cast<QTabBar*>(w)) {
    // The framework chooses the tab, with its notifications.
    if (kind == RawInput::kButtonDown && button == 0) {
      auto* me = static_cast<QMouseEvent*>(p.event.get());
      int index = tab->tabAt(me->position().toPoint());
      ::SetFocus(h);
      if (index >= 0 && Record(h)) UserSelectTab(h, index);
    }
    RunDeferred();
    return true;
  }
  if (kind == RawInput::kButtonDown && button == 0 && (w->focusPolicy() & Qt::ClickFocus)) ::SetFocus(h);
  if (!Record(h) || controls.find(h) == controls.end()) return true;
  ++replaying;
  const QEvent* outer = handedBack;
  handedBack = p.event.get();
  QCoreApplication::sendEvent(p.receiver, p.event.get());
  handedBack = outer;
  --replaying;
  if (kind == RawInput::kButtonUp && button == 0 && sliderPaged.count(h)) {
    sliderPaged.erase(h);
    Defer([h] {
      if (SliderData* d = ControlOf<SliderData>(h)) UserMovedSlider(h, d->pos, TB_ENDTRACK);
    });
  }
  if (kind == RawInput::kButtonDown && qobject_cast<QTreeWidget*>(w)) {
    auto* me = static_cast<QMouseEvent*>(p.event.get());
    QPoint at = me->position().toPoint();
    auto* list = static_cast<QTreeWidget*>(w);
    QPoint inViewport = p.receiver == list->viewport() ? at : list->viewport()->mapFrom(list, at);
    QTreeWidgetItem* item = list->itemAt(inViewport);
    int row = item ? list->indexOfTopLevelItem(item) : -1;
    QPoint client = list->viewport()->mapTo(list, inViewport) - WidgetPoint(h, POINT{0, 0});
    bool dbl = message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK;
    UINT code = button == 1 ? NM_RCLICK : dbl ? NM_DBLCLK : NM_CLICK;
    Defer([h, row, client, code] {
      WindowRecord* r = Record(h);
      if (!r || !r->parent) return;
      NMLISTVIEW nm{};
      nm.hdr.hwndFrom = h;
      nm.hdr.idFrom = r->id;
      nm.hdr.code = code;
      nm.iItem = row;
      nm.ptAction = POINT{client.x(), client.y()};
      Send(r->parent, WM_NOTIFY, r->id, reinterpret_cast<LPARAM>(&nm));
    });
  }
  RunDeferred();
  return true;
}

// ---------------------------------------------------------------- Backend

void QtBackend::ControlCreated(HWND control) {
  QtBackendImpl& I = *impl_;
  if (I.controls.count(control)) return;
  QWidget* w = I.MakeControl(control);
  if (!w) return;
  I.controls[control] = w;
  I.SyncControl(control);
}

void QtBackend::ControlChanged(HWND control) {
  QtBackendImpl& I = *impl_;
  if (I.controls.count(control)) I.SyncControl(control);
  if (State().focus == control) I.SyncFocus();
}

void QtBackend::ControlDestroyed(HWND control) {
  QtBackendImpl& I = *impl_;
  auto it = I.controls.find(control);
  if (it == I.controls.end()) return;
  QWidget* w = it->second;
  I.controls.erase(it);
  for (auto o = I.controlOf.begin(); o != I.controlOf.end();)
    o = o->second == control ? I.controlOf.erase(o) : std::next(o);
  I.pending.erase(std::remove_if(I.pending.begin(), I.pending.end(),
                                 [control](const PendingInput& p) { return p.control == control; }),
                  I.pending.end());
  I.sliderPaged.erase(control);
  w->hide();
  w->deleteLater();
}

bool QtBackend::ControlDefault(HWND control, unsigned message, uintptr_t, intptr_t) {
  return impl_->HandBack(control, message);
}

bool QtBackend::ListHitTest(HWND list, POINT client, int* item, UINT* flags) {
  auto it = impl_->controls.find(list);
  if (it == impl_->controls.end()) return false;
  auto* l = dynamic_cast<ReportList*>(it->second);
  if (!l) return false;
  QPoint at = l->viewport()->mapFrom(l, WidgetPoint(list, client));
  *item = -1;
  *flags = LVHT_NOWHERE;
  if (!l->viewport()->rect().contains(at)) return true;
  QTreeWidgetItem* row = l->itemAt(at);
  if (!row) return true;
  *item = l->indexOfTopLevelItem(row);
  bool hasState = !row->icon(0).isNull();
  *flags = hasState && l->DecorationRect(row).contains(at) ? LVHT_ONITEMSTATEICON : LVHT_ONITEMLABEL;
  return true;
}

}  // namespace brv
