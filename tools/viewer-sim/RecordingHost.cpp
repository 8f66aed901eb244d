#include "tools/viewer-sim/RecordingHost.h"

#include <cstdio>

#include "platform/Screen.h"
#include "runtime/Scheduler.h"
#include "shell/OffscreenBitmap.h"

namespace viewersim {

using runtime::HostEdit;
using runtime::HostRect;
using runtime::HostTreeView;
using runtime::HostWindow;

std::string LogText(const char16_t* text) {
  std::string out = "\"";
  for (const char16_t* p = text; p != nullptr && *p != 0; ++p) {
    if (*p >= 0x20 && *p < 0x7F && *p != u'"' && *p != u'\\') {
      out += static_cast<char>(*p);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(*p));
      out += escaped;
    }
  }
  return out + "\"";
}

namespace {

std::string RectText(const HostRect& r) {
  return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) +
         " " + std::to_string(r.bottom);
}

std::string KeysText(const runtime::MenuItemDesc* keys) {
  std::string out;
  for (const runtime::MenuItemDesc* item = keys; item != nullptr; item = item->next) {
    if (!out.empty()) out += ",";
    out += std::to_string(item->id);
  }
  return out.empty() ? "none" : out;
}

void DumpItems(const runtime::MenuItemDesc* item, int depth, std::string* out) {
  for (; item != nullptr; item = item->next) {
    out->append(static_cast<size_t>(depth) * 2, ' ');
    if (item->IsSeparator()) {
      *out += "-\n";
      continue;
    }
    *out += std::to_string(item->id) + " " + LogText(item->text);
    if (item->shortcut != 0) *out += " [" + std::string(1, static_cast<char>(item->shortcut)) + "]";
    if (item->grayed) *out += " grayed";
    if (item->checked) *out += " checked";
    *out += "\n";
    DumpItems(item->submenu, depth + 1, out);
  }
}

}  // namespace

std::string DumpMenu(const runtime::MenuItemDesc* root) {
  std::string out;
  DumpItems(root, 0, &out);
  return out;
}

template <class Base>
RecordedControl<Base>::RecordedControl(RecordingHost* owner, std::string label,
                                       HostWindow* parentWindow, bool hasScrollBars)
    : host(owner) {
  name = std::move(label);
  parent = parentWindow;
  scrollBars = hasScrollBars;
}

template <class Base>
void RecordedControl<Base>::SetRect(const HostRect& value) {
  rect = value;
  host->Record(name + ".SetRect " + RectText(value));
}

template <class Base>
void RecordedControl<Base>::SetText(const char16_t* value) {
  text = value != nullptr ? value : u"";
  host->Record(name + ".SetText " + LogText(value));
}

template <class Base>
void RecordedControl<Base>::Show(bool on) {
  shown = on;
  host->Record(name + ".Show " + (on ? "1" : "0"));
}

template <class Base>
void RecordedControl<Base>::Focus() {
  host->Record(name + ".Focus");
}

template <class Base>
void RecordedControl<Base>::SetFullScreen(bool on) {
  fullScreen = on;
  host->Record(name + ".SetFullScreen " + (on ? "1" : "0"));
}

namespace {

// Painting into a control's canvas, through the shell's own bitmap
// drawing.
class CanvasSurface final : public runtime::ViewSurface {
 public:
  explicit CanvasSurface(shell::OffscreenBitmap* canvas) : canvas_(canvas) {}
  void Fill(const HostRect& rect, uint8_t red, uint8_t green, uint8_t blue) override {
    canvas_->FillRect(rect, red, green, blue);
  }
  void DrawBitmap(runtime::HostBitmap& bitmap, const HostRect& source, const HostRect& destination) override {
    canvas_->StretchFrom(bitmap, source, destination);
  }

 private:
  shell::OffscreenBitmap* canvas_;
};

}  // namespace

ControlInfo::~ControlInfo() {
  delete static_cast<CanvasSurface*>(surface);
  delete static_cast<shell::OffscreenBitmap*>(canvas);
}

template <class Base>
void RecordedControl<Base>::Invalidate(const HostRect&) {
  ++invalidations;
}

template <class Base>
runtime::ViewSurface* RecordedControl<Base>::OpenSurface() {
  const int32_t w = rect.right - rect.left, h = rect.bottom - rect.top;
  auto* current = static_cast<shell::OffscreenBitmap*>(canvas);
  if (current == nullptr || current->GetPixelInfo()->width != w || current->GetPixelInfo()->height != h) {
    delete static_cast<CanvasSurface*>(surface);
    delete current;
    surface = nullptr;
    canvas = current = shell::OffscreenBitmap::Create(w, h);
    if (current == nullptr) return nullptr;
    surface = new CanvasSurface(current);
  }
  return surface;
}

template class RecordedControl<HostWindow>;
template class RecordedControl<HostTreeView>;
template class RecordedControl<HostEdit>;

void RecordedTree::DeleteAll() {
  rows.clear();
  selected = -1;
  host->Record(name + ".DeleteAll");
}
void RecordedTree::Insert(runtime::TreeItem* item, runtime::TreeItem* parent, bool expanded) {
  // A child goes after its parent's last descendant.
  size_t at = rows.size();
  if (parent != nullptr) {
    size_t p = 0;
    while (p < rows.size() && rows[p].item != parent) ++p;
    if (p < rows.size()) {
      std::vector<runtime::TreeItem*> family{parent};
      at = p + 1;
      while (at < rows.size()) {
        bool inside = false;
        for (runtime::TreeItem* member : family) inside = inside || rows[at].parent == member;
        if (!inside) break;
        family.push_back(rows[at].item);
        ++at;
      }
    }
  }
  rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(at), Row{item, parent, expanded});
  item->SetTreeHandle(item);
}
void RecordedTree::Update(runtime::TreeItem* item, bool expanded) {
  for (Row& row : rows) {
    if (row.item == item) row.expanded = expanded;
  }
}
runtime::TreeItem* RecordedTree::GetSelected() {
  return selected >= 0 && static_cast<size_t>(selected) < rows.size() ? rows[selected].item
                                                                       : nullptr;
}
std::string RecordedTree::Dump() const {
  std::string out;
  for (const Row& row : rows) {
    int depth = 0;
    for (runtime::TreeItem* up = row.parent; up != nullptr && depth < 64; ++depth) {
      runtime::TreeItem* next = nullptr;
      for (const Row& other : rows) {
        if (other.item == up) next = other.parent;
      }
      up = next;
    }
    out += std::string(static_cast<size_t>(depth) * 2, ' ');
    if (row.item->HasTreeChildren()) out += row.expanded ? "+ " : "- ";
    out += LogText(row.item->TreeText()) + "\n";
  }
  return out;
}

template <class Base>
void RecordedDialog<Base>::SetTitle(const char16_t* value) {
  title = value != nullptr ? value : u"";
  host->Record(name + ".SetTitle " + LogText(value));
}
template <class Base>
void RecordedDialog<Base>::SetItemText(uint32_t id, const char16_t* value) {
  items[id] = value != nullptr ? value : u"";
  host->Record(name + ".SetItemText " + std::to_string(id) + " " + LogText(value));
}
template <class Base>
void RecordedDialog<Base>::SetSoftKeys(const runtime::MenuItemDesc* keys) {
  host->Record(name + ".SetSoftKeys " + KeysText(keys));
}
template <class Base>
void RecordedDialog<Base>::Close() {
  host->Record(name + ".Close");
}
template <class Base>
int32_t RecordedDialog<Base>::Finish(int32_t result, const std::string& detail) {
  host->Record(name + ".RunModal -> " + std::to_string(result) + detail);
  return result;
}

void RecordedListDialog::AddPath(const char16_t* path) {
  host->Record(name + ".AddPath " + LogText(path));
}

void RecordedZoomDialog::SetPresets(uint32_t count, const int32_t* table, uint32_t index,
                                    int32_t value) {
  presets.assign(table, table + count);
  selected = index;
  current = value;
  host->Record(name + ".SetPresets " + std::to_string(count) + " selected " +
               std::to_string(index) + " (" +
               (index < count ? std::to_string(table[index]) : std::string("none")) +
               ") current " + std::to_string(value));
}
int32_t RecordedZoomDialog::RunModal() {
  return Finish(result, result == 201 ? " " + std::to_string(value) : "");
}

int32_t RecordedGoToPageDialog::RunModal() {
  return answered ? Finish(201, " " + LogText(typed.c_str())) : Finish(202);
}

int32_t RecordedPropertiesDialog::RunModal() {
  if (host->whilePropertiesRun) host->whilePropertiesRun();
  if (host->runJobsInDialogs && host->scheduler != nullptr) {
    host->scheduler->RunUntil([] { return false; });
  }
  std::string shown;
  for (const auto& [id, value] : items) {
    if (id % 2 == 0) shown += " " + std::to_string(id) + "=" + LogText(value.c_str());
  }
  return Finish(201, shown);
}

int32_t RecordedTextBox::RunModal() {
  host->Record(name + ".RunModal");
  return 201;
}

void RecordedMessageBox::SetText(const char16_t* value) {
  host->Record(name + ".SetText " + LogText(value));
}
void RecordedMessageBox::SetStyle(uint32_t style) {
  host->Record(name + ".SetStyle " + std::to_string(style));
}
void RecordedMessageBox::SetTitle(const char16_t* value) {
  host->Record(name + ".SetTitle " + LogText(value));
}
int32_t RecordedMessageBox::RunModal() {
  host->Record(name + ".RunModal");
  return 201;
}

void RecordedPasswordDialog::SetItemText(uint32_t resourceId, const char16_t* value) {
  host->Record(name + ".SetItemText " + std::to_string(resourceId) + " " + LogText(value));
}
int32_t RecordedPasswordDialog::RunModal() {
  host->Record(name + ".RunModal -> 201 " + LogText(answer.c_str()));
  return runtime::kTextEntryAccepted;
}

void RecordingHost::Record(std::string line) {
  if (scheduler != nullptr && !scheduler->OnMainThread()) line += " [off main]";
  log.push_back(std::move(line));
}

const ControlInfo* RecordingHost::InfoOf(const HostWindow* window) {
  return dynamic_cast<const ControlInfo*>(window);
}

std::string RecordingHost::NameOf(const HostWindow* window) {
  if (window == nullptr) return "none";
  const ControlInfo* info = InfoOf(window);
  return info != nullptr ? info->name : "foreign";
}

template <class Control>
Control* RecordingHost::Make(const char* operation, const char* prefix, HostWindow* parent,
                             bool scrollBars) {
  ++made_;
  std::string line = std::string(operation) + " parent=" + NameOf(parent);
  if (scrollBars) line += " scrollBars";
  if (failControl != 0 && made_ == failControl) {
    Record(line + " -> null");
    return nullptr;
  }
  auto control = std::make_unique<Control>(this, prefix + std::to_string(made_), parent, scrollBars);
  Control* made = control.get();
  controls_.push_back(std::move(control));
  Record(line + " -> " + made->name);
  return made;
}

void RecordingHost::Destroyed(const char* operation, HostWindow* window) {
  Record(std::string(operation) + " " + NameOf(window));
  if (auto* info = const_cast<ControlInfo*>(InfoOf(window))) info->alive = false;
}

std::vector<RecordedTimer*> RecordingHost::LiveTimers() const {
  std::vector<RecordedTimer*> live;
  for (const auto& timer : timers_) {
    if (timer->alive) live.push_back(timer.get());
  }
  return live;
}

void RecordingHost::Fire(RecordedTimer* timer) {
  if (timer == nullptr || !timer->alive || timer->callback == nullptr) return;
  timer->callback(timer->context);
}

bool RecordingHost::WritePng(const std::string& path) const {
  const int width = workArea.right - workArea.left;
  const int height = workArea.bottom - workArea.top;
  if (width <= 0 || height <= 0 || width > 8192 || height > 8192) return false;
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3, 0xFF);
  auto put = [&](int x, int y, uint8_t shade) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    uint8_t* pixel = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    pixel[0] = pixel[1] = pixel[2] = shade;
  };
  for (const auto& control : controls_) {
    const ControlInfo* info = InfoOf(control.get());
    if (info == nullptr || !info->alive || !info->shown) continue;
    // Each control is placed in its parent's coordinates.
    int x0 = info->rect.left, y0 = info->rect.top;
    const ControlInfo* up = InfoOf(info->parent);
    for (int depth = 0; up != nullptr && depth < 16; ++depth, up = InfoOf(up->parent)) {
      x0 += up->rect.left;
      y0 += up->rect.top;
    }
    const int w = info->rect.right - info->rect.left, h = info->rect.bottom - info->rect.top;
    if (w <= 0 || h <= 0) continue;
    const bool pageArea = info->scrollBars;
    for (int y = y0; y < y0 + h && y < height; ++y) {
      for (int x = x0; x < x0 + w && x < width; ++x) {
        const bool edge = y == y0 || y == y0 + h - 1 || x == x0 || x == x0 + w - 1;
        if (edge) put(x, y, 0x00);
        else if (pageArea) put(x, y, 0xC0);
      }
    }
  }
  return platform::WritePng(path, width, height, rgb);
}

void RecordingHost::ShowSplash(uint32_t milliseconds, const char16_t* caption) {
  Record("ShowSplash " + std::to_string(milliseconds) + " " + LogText(caption));
}
void RecordingHost::Quit() {
  quit = true;
  Record("Quit");
}
runtime::TextBoxDialog* RecordingHost::CreateTextBox() {
  textBoxes_.push_back(std::make_unique<RecordedTextBox>(
      this, "X" + std::to_string(textBoxes_.size() + 1)));
  Record("CreateTextBox -> " + textBoxes_.back()->name);
  return textBoxes_.back().get();
}
void RecordingHost::DestroyTextBox(runtime::TextBoxDialog* dialog) {
  Record("DestroyTextBox " + static_cast<RecordedTextBox*>(dialog)->name);
}
namespace {

ChooserAnswer NextAnswer(std::vector<ChooserAnswer>& queue) {
  if (queue.empty()) return {};
  ChooserAnswer answer = queue.front();
  queue.erase(queue.begin());
  return answer;
}

}  // namespace

runtime::ListDialog* RecordingHost::CreateListDialog(bool showBrowse) {
  const std::string line = std::string("CreateListDialog ") + (showBrowse ? "1" : "0");
  if (!offerChoosers) {
    Record(line + " -> null");
    return nullptr;
  }
  auto dialog = std::make_unique<RecordedListDialog>(
      this, "L" + std::to_string(dialogs_.size() + 1), NextAnswer(listAnswers));
  RecordedListDialog* made = dialog.get();
  Record(line + " -> " + made->name);
  dialogs_.push_back(std::move(dialog));
  return made;
}
void RecordingHost::DestroyListDialog(runtime::ListDialog* dialog) {
  Record("DestroyListDialog" +
         (dialog != nullptr ? " " + static_cast<RecordedListDialog*>(dialog)->name : std::string()));
}
runtime::FileBrowserDialog* RecordingHost::CreateFileBrowser() {
  if (!offerChoosers) {
    Record("CreateFileBrowser -> null");
    return nullptr;
  }
  auto dialog = std::make_unique<RecordedFileBrowser>(
      this, "F" + std::to_string(dialogs_.size() + 1), NextAnswer(browserAnswers));
  RecordedFileBrowser* made = dialog.get();
  Record("CreateFileBrowser -> " + made->name);
  dialogs_.push_back(std::move(dialog));
  return made;
}
void RecordingHost::DestroyFileBrowser(runtime::FileBrowserDialog* dialog) {
  Record("DestroyFileBrowser" +
         (dialog != nullptr ? " " + static_cast<RecordedFileBrowser*>(dialog)->name : std::string()));
}
runtime::FindDialog* RecordingHost::CreateFindDialog() {
  if (!offerFindDialog) {
    Record("CreateFindDialog -> null");
    return nullptr;
  }
  auto dialog = std::make_unique<RecordedFindDialog>(this, "F" + std::to_string(dialogs_.size() + 1));
  if (!findAnswers.empty()) {
    dialog->answered = true;
    dialog->answer = findAnswers.front();
    findAnswers.erase(findAnswers.begin());
  }
  RecordedFindDialog* made = dialog.get();
  Record("CreateFindDialog -> " + made->name);
  dialogs_.push_back(std::move(dialog));
  return made;
}
void RecordingHost::DestroyFindDialog(runtime::FindDialog* dialog) {
  Record("DestroyFindDialog" +
         (dialog != nullptr ? " " + static_cast<RecordedFindDialog*>(dialog)->name : std::string()));
}

void RecordedFindDialog::SetOption(uint32_t option, bool on) {
  if (option < 3) shownOptions[option] = on;
}

bool RecordedFindDialog::GetOption(uint32_t option) const {
  if (!answered) return option < 3 && shownOptions[option];
  switch (option) {
    case 0:
      return answer.matchCase;
    case 1:
      return answer.wholeWord;
    case 2:
      return answer.backwards;
    default:
      return false;
  }
}

int32_t RecordedFindDialog::RunModal() {
  const std::string shown = std::string(" options ") + (shownOptions[0] ? "c" : "-") + (shownOptions[1] ? "w" : "-") +
                            (shownOptions[2] ? "b" : "-");
  return answered ? Finish(201, shown + " " + LogText(answer.text.c_str())) : Finish(202, shown);
}
runtime::GoToPageDialog* RecordingHost::CreateGoToPageDialog() {
  auto dialog = std::make_unique<RecordedGoToPageDialog>(this, "G" + std::to_string(dialogs_.size() + 1));
  if (!goToPageAnswers.empty()) {
    dialog->answered = true;
    dialog->typed = goToPageAnswers.front();
    goToPageAnswers.erase(goToPageAnswers.begin());
  }
  lastGoToPageDialog = dialog.get();
  Record("CreateGoToPageDialog -> " + dialog->name);
  dialogs_.push_back(std::move(dialog));
  return lastGoToPageDialog;
}
void RecordingHost::DestroyGoToPageDialog(runtime::GoToPageDialog* dialog) {
  Record("DestroyGoToPageDialog " + static_cast<RecordedGoToPageDialog*>(dialog)->name);
}
runtime::ZoomDialog* RecordingHost::CreateZoomDialog() {
  auto dialog = std::make_unique<RecordedZoomDialog>(this, "Z" + std::to_string(dialogs_.size() + 1));
  dialog->result = zoomResult;
  dialog->value = zoomValue;
  lastZoomDialog = dialog.get();
  Record("CreateZoomDialog -> " + dialog->name);
  dialogs_.push_back(std::move(dialog));
  return lastZoomDialog;
}
void RecordingHost::DestroyZoomDialog(runtime::ZoomDialog* dialog) {
  Record("DestroyZoomDialog " + static_cast<RecordedZoomDialog*>(dialog)->name);
}
runtime::TextEntryDialog* RecordingHost::CreatePasswordDialog() {
  if (passwordDialogs_.size() >= passwordAnswers.size()) {
    Record("CreatePasswordDialog -> null");
    return nullptr;
  }
  passwordDialogs_.push_back(std::make_unique<RecordedPasswordDialog>(
      this, "P" + std::to_string(passwordDialogs_.size() + 1),
      passwordAnswers[passwordDialogs_.size()]));
  Record("CreatePasswordDialog -> " + passwordDialogs_.back()->name);
  return passwordDialogs_.back().get();
}
void RecordingHost::DestroyPasswordDialog(runtime::TextEntryDialog* dialog) {
  Record("DestroyPasswordDialog " +
         (dialog != nullptr ? static_cast<RecordedPasswordDialog*>(dialog)->name : "none"));
}
runtime::PropertiesDialog* RecordingHost::CreatePropertiesDialog() {
  auto dialog =
      std::make_unique<RecordedPropertiesDialog>(this, "D" + std::to_string(dialogs_.size() + 1));
  lastPropertiesDialog = dialog.get();
  Record("CreatePropertiesDialog -> " + dialog->name);
  dialogs_.push_back(std::move(dialog));
  return lastPropertiesDialog;
}
void RecordingHost::DestroyPropertiesDialog(runtime::PropertiesDialog* dialog) {
  Record("DestroyPropertiesDialog " + static_cast<RecordedPropertiesDialog*>(dialog)->name);
}
runtime::MessageBoxDialog* RecordingHost::CreateMessageBox() {
  messageBoxes_.push_back(std::make_unique<RecordedMessageBox>(
      this, "M" + std::to_string(messageBoxes_.size() + 1)));
  Record("CreateMessageBox -> " + messageBoxes_.back()->name);
  return messageBoxes_.back().get();
}
void RecordingHost::DestroyMessageBox(runtime::MessageBoxDialog* box) {
  Record("DestroyMessageBox " + static_cast<RecordedMessageBox*>(box)->name);
}
HostWindow* RecordingHost::CreateViewWindow(HostWindow* parent, bool scrollBars) {
  return Make<RecordedControl<HostWindow>>("CreateViewWindow", "W", parent, scrollBars);
}
void RecordingHost::DestroyWindow(HostWindow* window) { Destroyed("DestroyWindow", window); }
HostTreeView* RecordingHost::CreateTreeView(HostWindow* parent) {
  return Make<RecordedTree>("CreateTreeView", "T", parent, false);
}
void RecordingHost::DestroyTreeView(HostTreeView* tree) { Destroyed("DestroyTreeView", tree); }
void RecordingHost::SetActiveViewText() { Record("SetActiveViewText"); }
void RecordingHost::SetPendingText(const char16_t* text) {
  Record("SetPendingText " + LogText(text));
}
void RecordingHost::CreateMenuBar(const runtime::MenuItemDesc* softKeys) {
  menuBar = softKeys;
  Record("CreateMenuBar " + KeysText(softKeys));
}
HostWindow* RecordingHost::CreateButton(HostWindow* parent) {
  return Make<RecordedControl<HostWindow>>("CreateButton", "B", parent, false);
}
void RecordingHost::DestroyButtonWindow(HostWindow* window) {
  Destroyed("DestroyButtonWindow", window);
}
HostEdit* RecordingHost::CreateEdit(HostWindow* parent) {
  return Make<RecordedEdit>("CreateEdit", "E", parent, false);
}
void RecordingHost::DestroyEdit(HostEdit* edit) { Destroyed("DestroyEdit", edit); }
runtime::HostBitmap* RecordingHost::CreateBitmap(int32_t width, int32_t height) {
  shell::OffscreenBitmap* bitmap = width > 0 && height > 0 ? shell::OffscreenBitmap::Create(width, height) : nullptr;
  Record("CreateBitmap " + std::to_string(width) + " " + std::to_string(height) +
         (bitmap != nullptr ? "" : " -> null"));
  if (bitmap != nullptr) ++liveBitmaps;
  return bitmap;
  return nullptr;
}
void RecordingHost::DestroyBitmap(runtime::HostBitmap* bitmap) {
  Record("DestroyBitmap");
  if (bitmap == nullptr) return;
  --liveBitmaps;
  delete static_cast<shell::OffscreenBitmap*>(bitmap);
}

std::vector<uint8_t> RecordingHost::CanvasPixels(const runtime::HostWindow* window, int* width, int* height) {
  *width = *height = 0;
  const ControlInfo* info = InfoOf(window);
  const auto* canvas = info != nullptr ? static_cast<const shell::OffscreenBitmap*>(info->canvas) : nullptr;
  if (canvas == nullptr || canvas->GetPixelInfo()->bits == nullptr) return {};
  const shell::PixelInfo& pixels = *canvas->GetPixelInfo();
  std::vector<uint8_t> rgb(static_cast<size_t>(pixels.width) * pixels.height * 3);
  for (int32_t y = 0; y < pixels.height; ++y) {
    const uint8_t* row = pixels.bits + static_cast<int64_t>(y) * pixels.stride;
    for (int32_t x = 0; x < pixels.width; ++x) {
      uint8_t* out = &rgb[(static_cast<size_t>(y) * pixels.width + x) * 3];
      if (pixels.format == shell::kFormatRgb565) {
        const uint16_t word = static_cast<uint16_t>(row[2 * x] | (row[2 * x + 1] << 8));
        const int r = word >> 11, g = (word >> 5) & 63, b = word & 31;
        out[0] = static_cast<uint8_t>((r << 3) | (r >> 2));
        out[1] = static_cast<uint8_t>((g << 2) | (g >> 4));
        out[2] = static_cast<uint8_t>((b << 3) | (b >> 2));
      } else {
        const int bytes = pixels.format == shell::kFormatBgr24 ? 3 : 4;
        out[0] = row[bytes * x + 2];
        out[1] = row[bytes * x + 1];
        out[2] = row[bytes * x];
      }
    }
  }
  *width = pixels.width;
  *height = pixels.height;
  return rgb;
}

bool RecordingHost::WriteCanvasPng(const runtime::HostWindow* window, const std::string& path) {
  int width = 0, height = 0;
  const std::vector<uint8_t> rgb = CanvasPixels(window, &width, &height);
  return !rgb.empty() && platform::WritePng(path, width, height, rgb);
}
runtime::HostTimer* RecordingHost::CreateTimer(uint32_t milliseconds, void* context,
                                               runtime::HostTimerCallback callback) {
  auto timer = std::make_unique<RecordedTimer>();
  timer->name = "timer" + std::to_string(timers_.size() + 1);
  timer->milliseconds = milliseconds;
  timer->context = context;
  timer->callback = callback;
  Record("CreateTimer " + std::to_string(milliseconds) + " -> " + timer->name);
  timers_.push_back(std::move(timer));
  return timers_.back().get();
}
void RecordingHost::DestroyTimer(runtime::HostTimer* timer) {
  auto* recorded = static_cast<RecordedTimer*>(timer);
  recorded->alive = false;
  Record("DestroyTimer " + recorded->name);
}
int32_t RecordingHost::GetWorkArea(HostRect* area) {
  *area = workArea;
  return workArea.bottom;
}
void RecordingHost::SetOemIgnoreApp(uint32_t oldPenTool, uint32_t newPenTool) {
  Record("SetOemIgnoreApp " + std::to_string(oldPenTool) + " " + std::to_string(newPenTool));
}
void RecordingHost::AddRecentFile(const char16_t* path) { Record("AddRecentFile " + LogText(path)); }
void RecordingHost::SetBusyCursor(bool on) {
  busyCursor = on;
  Record(std::string("SetBusyCursor ") + (on ? "1" : "0"));
}
void RecordingHost::BeginBusy(uint8_t reason) { Record("BeginBusy " + std::to_string(reason)); }
void RecordingHost::EndBusy(uint8_t reason) { Record("EndBusy " + std::to_string(reason)); }

}  // namespace viewersim
