#include "tools/viewer-sim/InteractionCommands.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

#include "runtime/CoThread.h"
#include "runtime/HostTreeItems.h"
#include "tools/viewer-sim/RecordingHost.h"
#include "viewer/DocumentInteraction.h"
#include "viewer/MenuTree.h"
#include "viewer/OpenDocument.h"
#include "viewer/PageView.h"
#include "viewer/SearchThread.h"
#include "viewer/SelectionHighlight.h"
#include "viewer/ViewerApp.h"

namespace viewersim {

namespace {

// Rectangles of one match or selection printed at most.
constexpr uint32_t kPrintedRects = 16;

int32_t Coordinate(const std::string& text) {
  const long value = std::strtol(text.c_str(), nullptr, 10);
  return static_cast<int32_t>(value < -100000 ? -100000 : value > 100000 ? 100000 : value);
}

// A script word as UTF-16: UTF-8 sequences of up to three bytes are
// decoded (so a test can type full-width digits); any other byte stands
// for itself.
std::u16string Wide(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const auto byte = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
    const auto follows = [&](size_t at) { return at < text.size() && (byte(at) & 0xC0) == 0x80; };
    const unsigned lead = byte(i);
    if (lead >= 0xC2 && lead < 0xE0 && follows(i + 1)) {
      out += static_cast<char16_t>(((lead & 0x1F) << 6) | (byte(i + 1) & 0x3F));
      i += 2;
    } else if (lead >= 0xE0 && lead < 0xF0 && follows(i + 1) && follows(i + 2)) {
      out += static_cast<char16_t>(((lead & 0x0F) << 12) | ((byte(i + 1) & 0x3F) << 6) | (byte(i + 2) & 0x3F));
      i += 3;
    } else {
      out += static_cast<char16_t>(lead);
      ++i;
    }
  }
  return out;
}

// "page P X0 Y0 X1 Y1" of the selection's bounds on the window (its
// first page), or "none".
std::string SelectionText(ScriptState& s) {
  viewer::Viewer& v = s.app->viewer;
  viewer::DocumentInteraction* interaction = v.documentInteraction;
  if (interaction == nullptr || !interaction->selection.Has() || v.ownedPageView == nullptr ||
      v.currentDocument == nullptr || v.currentDocument->Document() == nullptr) {
    return "none";
  }
  const runtime::TextRange& range = interaction->selection.Range();
  const int32_t page = range.start.page;
  runtime::IntRect rects[kPrintedRects];
  const uint32_t count = viewer::SelectionHighlight::RectsInView(*v.ownedPageView, *v.currentDocument->Document(),
                                                                 &interaction->fonts, &interaction->textFonts, page,
                                                                 range, rects, kPrintedRects);
  std::string line = "page " + std::to_string(page);
  if (count == 0) return line;
  runtime::IntRect all = rects[0];
  for (uint32_t i = 1; i < count; ++i) {
    all.x0 = std::min(all.x0, rects[i].x0);
    all.y0 = std::min(all.y0, rects[i].y0);
    all.x1 = std::max(all.x1, rects[i].x1);
    all.y1 = std::max(all.y1, rects[i].y1);
  }
  return line + " " + std::to_string(all.x0) + " " + std::to_string(all.y0) + " " + std::to_string(all.x1) + " " +
         std::to_string(all.y1);
}

// The rows a user sees: those whose ancestors are all expanded.
std::vector<size_t> VisibleRows(const RecordedTree& tree, std::vector<int>* depths) {
  std::map<const runtime::TreeItem*, size_t> indexOf;
  for (size_t i = 0; i < tree.rows.size(); ++i) indexOf[tree.rows[i].item] = i;
  std::vector<size_t> visible;
  for (size_t i = 0; i < tree.rows.size(); ++i) {
    bool shown = true;
    int depth = 0;
    const runtime::TreeItem* up = tree.rows[i].parent;
    // Rows are inserted under parents that exist; the bound only guards
    // against a cycle.
    while (up != nullptr && depth < 256) {
      const auto found = indexOf.find(up);
      if (found == indexOf.end()) break;
      shown = shown && tree.rows[found->second].expanded;
      up = tree.rows[found->second].parent;
      ++depth;
    }
    if (!shown) continue;
    visible.push_back(i);
    if (depths != nullptr) depths->push_back(depth);
  }
  return visible;
}

// Lets the outline job read the whole outline, as the work timer would.
void FinishOutline(ScriptState& s) {
  viewer::Viewer& v = s.app->viewer;
  s.app->scheduler.RunUntil([&] {
    runtime::CoThread* job = v.outlineJob.Get();
    return job == nullptr || job->IsIdle();
  });
}

// Runs `run` (a Find Next) and prints the match it shows, if any.
template <class Run>
void FindNextAfter(ScriptState& s, Run&& run) {
  viewer::DocumentInteraction* before = s.app->viewer.documentInteraction;
  runtime::TextRange was;
  const bool had = before != nullptr && before->selection.Has();
  if (had) was = before->selection.Range();
  run();
  // The search runs on its own thread, as the work timer would drive it,
  // to its next match or its end.
  viewer::ViewerSearch& search = s.app->viewer.search;
  s.app->scheduler.RunUntil([&] { return search.Settled(); });
  viewer::DocumentInteraction* after = s.app->viewer.documentInteraction;
  if (after == nullptr || !after->selection.Has()) return;
  const runtime::TextRange& now = after->selection.Range();
  // A new search shows its first match again only when it is the same
  // range; every match Find Next stops at is printed.
  const bool changed = !had || !runtime::TextPosition::Equals(was.start, now.start) ||
                       !runtime::TextPosition::Equals(was.end, now.end);
  if (changed) s.output.push_back("match " + SelectionText(s));
}

}  // namespace

void PenTap(ScriptState& s, const ScriptArgs& a) {
  PenDown(s, a);
  PenUp(s, a);
}

void PenDown(ScriptState& s, const ScriptArgs& a) {
  s.app->OnMouseDown(Coordinate(a[0]), Coordinate(a[1]), s.app->viewer.pageViewWindow);
}

void PenMove(ScriptState& s, const ScriptArgs& a) {
  s.app->OnMouseMove(Coordinate(a[0]), Coordinate(a[1]), s.app->viewer.pageViewWindow);
}

void PenUp(ScriptState& s, const ScriptArgs& a) {
  s.app->OnMouseUp(Coordinate(a[0]), Coordinate(a[1]), s.app->viewer.pageViewWindow);
}

void SelectDrag(ScriptState& s, const ScriptArgs& a) {
  viewer::PageView* view = s.app->viewer.ownedPageView;
  if (view == nullptr) {
    s.output.push_back("no document");
    return;
  }
  const uint32_t tool = view->State().penTool;
  view->SetPenTool(viewer::kGestureTextSelection);
  PenDown(s, {a[0], a[1]});
  PenMove(s, {a[2], a[3]});
  PenUp(s, {a[2], a[3]});
  view->SetPenTool(tool);
}

void PrintMargins(ScriptState& s) {
  const viewer::PageView* view = s.app->viewer.ownedPageView;
  if (view == nullptr) {
    s.output.push_back("no document");
    return;
  }
  const int32_t* m = view->LeadMargins();
  // Indexed by ScrollDirection: left, right, up, down.
  s.output.push_back("margins left " + std::to_string(m[0]) + " right " + std::to_string(m[1]) + " up " +
                     std::to_string(m[2]) + " down " + std::to_string(m[3]));
}

bool FindArgumentsValid(const ScriptArgs& a) {
  if (a.empty()) return false;
  for (size_t i = 0; i + 1 < a.size(); ++i) {
    if (a[i] != "-c" && a[i] != "-w" && a[i] != "-b") return false;
  }
  return true;
}

void SetUpFind(ScriptState& s, const ScriptArgs& a) {
  viewer::SearchOptions options;
  for (size_t i = 0; i + 1 < a.size(); ++i) {
    options.matchCase = options.matchCase || a[i] == "-c";
    options.wholeWord = options.wholeWord || a[i] == "-w";
    options.backwards = options.backwards || a[i] == "-b";
  }
  s.app->viewer.search.SetSearch(Wide(a.back()).c_str(), options);
}

void RunFindDialog(ScriptState& s, const ScriptArgs& a) {
  FindAnswer answer;
  for (size_t i = 0; i + 1 < a.size(); ++i) {
    answer.matchCase = answer.matchCase || a[i] == "-c";
    answer.wholeWord = answer.wholeWord || a[i] == "-w";
    answer.backwards = answer.backwards || a[i] == "-b";
  }
  if (!a.empty()) answer.text = Wide(a.back());
  const bool offered = s.host->offerFindDialog;
  s.host->offerFindDialog = true;
  s.host->findAnswers.clear();
  if (!a.empty()) s.host->findAnswers.push_back(answer);
  // The dialog's own Find Next prints its match as `next` does.
  FindNextAfter(s, [&] { s.app->OnCommand(viewer::kCmdFindText); });
  s.host->findAnswers.clear();
  s.host->offerFindDialog = offered;
}

void FindNext(ScriptState& s) {
  FindNextAfter(s, [&] { s.app->OnCommand(viewer::kCmdFindNext); });
}

void StartFindNext(ScriptState& s) { s.app->OnCommand(viewer::kCmdFindNext); }

void RunSlices(ScriptState& s, const ScriptArgs& a) {
  const long passes = std::strtol(a[0].c_str(), nullptr, 10);
  long done = 0;
  s.app->scheduler.RunUntil([&] { return done++ >= passes; });
}

void PrintBusy(ScriptState& s) {
  const viewer::Viewer& v = s.app->viewer;
  const viewer::SearchThread* thread = v.search.Thread();
  const char* state = thread == nullptr ? "none" : thread->IsIdle() ? "ended" : thread->AtMatch() ? "at-match" : "running";
  s.output.push_back("busy keys " + std::to_string(v.busySoftKeys ? 1 : 0) + " count " + std::to_string(v.busyCount) +
                     " search " + state);
}

void PrintSelection(ScriptState& s) { s.output.push_back("selection " + SelectionText(s)); }

void GoToPageDialog(ScriptState& s, const ScriptArgs& a) {
  s.host->goToPageAnswers = {Wide(a[0])};
  s.app->OnCommand(viewer::kCmdPageNumber);
  s.host->goToPageAnswers.clear();
}

void TypeInPageBox(ScriptState& s, const ScriptArgs& a) {
  runtime::HostEdit* box = s.app->viewer.pageNumberEdit;
  auto* edit = dynamic_cast<RecordedEdit*>(box);
  if (edit == nullptr) {
    s.output.push_back("no page box");
    return;
  }
  edit->text = Wide(a[0]);
  s.app->GoToTypedPage(box);
  s.output.push_back("pagebox " + LogText(edit->text.c_str()));
}

void ZoomDialog(ScriptState& s, const ScriptArgs& a) {
  const int32_t result = s.host->zoomResult;
  const int32_t value = s.host->zoomValue;
  s.host->zoomResult = a.empty() ? 202 : 201;
  s.host->zoomValue = a.empty() ? 0 : static_cast<int32_t>(std::strtol(a[0].c_str(), nullptr, 10));
  RecordedZoomDialog* last = s.host->lastZoomDialog;
  s.app->OnCommand(viewer::kCmdZoomTo);
  const RecordedZoomDialog* dialog = s.host->lastZoomDialog;
  if (dialog != nullptr && dialog != last) {
    const std::string preset = dialog->selected < dialog->presets.size()
                                   ? std::to_string(dialog->presets[dialog->selected])
                                   : std::string("none");
    s.output.push_back("zoomdialog selected " + preset + " current " + std::to_string(dialog->current));
  }
  s.host->zoomResult = result;
  s.host->zoomValue = value;
}

void Bookmarks(ScriptState& s, const ScriptArgs& a) {
  viewer::Viewer& v = s.app->viewer;
  auto* tree = dynamic_cast<RecordedTree*>(v.bookmarkTree);
  if (tree == nullptr) {
    s.output.push_back("no bookmark tree");
    return;
  }
  FinishOutline(s);
  std::vector<int> depths;
  const std::vector<size_t> visible = VisibleRows(*tree, &depths);
  if (a.empty()) {
    for (size_t i = 0; i < visible.size(); ++i) {
      const RecordedTree::Row& row = tree->rows[visible[i]];
      std::string mark = row.item->HasTreeChildren() ? (row.expanded ? "+ " : "- ") : "";
      s.output.push_back("bookmark " + std::to_string(i) + " " + std::string(static_cast<size_t>(depths[i]) * 2, ' ') +
                         mark + LogText(row.item->TreeText()));
    }
    return;
  }
  const long chosen = std::strtol(a[0].c_str(), nullptr, 10);
  if (chosen < 0 || static_cast<size_t>(chosen) >= visible.size()) {
    s.output.push_back("no bookmark " + a[0]);
    return;
  }
  // The tree shows first; on a Pocket PC choosing the row follows it, a
  // Smartphone follows it with Select.
  if (!v.bookmarksShown) s.app->OnCommand(viewer::kCmdBookmarks);
  tree->selected = static_cast<int32_t>(visible[static_cast<size_t>(chosen)]);
  if (v.optionPocketPc) {
    s.app->OnBookmarkSelected();
  } else {
    s.app->OnCommand(viewer::kCmdSelect);
  }
}

void EchoMessages(ScriptState& s, size_t from) {
  // The recording host logs a box as "M<n>.SetText ...", "M<n>.SetStyle
  // S" and "M<n>.RunModal"; a box is printed when it runs.
  std::map<std::string, std::pair<std::string, uint32_t>> boxes;
  const std::vector<std::string>& log = s.host->log;
  for (size_t i = from; i < log.size(); ++i) {
    const std::string& line = log[i];
    if (line.size() < 2 || line[0] != 'M' || std::strspn(line.c_str() + 1, "0123456789") == 0) continue;
    const size_t dot = line.find('.');
    if (dot == std::string::npos) continue;
    const std::string box = line.substr(0, dot);
    const std::string rest = line.substr(dot + 1);
    if (rest.rfind("SetText ", 0) == 0) {
      boxes[box].first = rest.substr(8);
    } else if (rest.rfind("SetStyle ", 0) == 0) {
      boxes[box].second = static_cast<uint32_t>(std::strtoul(rest.c_str() + 9, nullptr, 10));
    } else if (rest.rfind("RunModal", 0) == 0) {
      const auto& [text, style] = boxes[box];
      s.output.push_back((style == viewer::kMessageQuestion ? "question " : "message ") + text);
    }
  }
}

}  // namespace viewersim
