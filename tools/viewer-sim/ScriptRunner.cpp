#include "tools/viewer-sim/ScriptRunner.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "tools/viewer-sim/InteractionCommands.h"
#include "tools/viewer-sim/LinkCommands.h"
#include "viewer/MenuTree.h"
#include "viewer/PageView.h"
#include "viewer/RenderRegion.h"

namespace viewersim {

namespace {

using Args = std::vector<std::string>;

struct ScriptCommand {
  const char* name;
  // Arguments the command takes: `arguments`, or up to `most` when that
  // is larger.
  size_t arguments;
  void (*run)(ScriptState& state, const Args& args);
  size_t most = 0;
  // Further checks of the arguments (null: none).
  bool (*valid)(const Args& args) = nullptr;
};

viewer::Viewer& ViewerOf(ScriptState& s) { return s.app->viewer; }

void Command(ScriptState& s, uint32_t id) { ViewerOf(s).ExecuteCommand(id); }

void Scroll(ScriptState& s, viewer::ScrollDirection direction, bool byPage) {
  ViewerOf(s).OnScroll(ViewerOf(s).pageViewWindow, direction, byPage);
}

void Idle(ScriptState& s) {
  viewer::PageViewCommands* view = ViewerOf(s).pageView;
  // The threads run until every page is drawn; a pass that leaves work
  // undone with nothing runnable ends the wait too.
  for (int pass = 0; pass < 10000 && view != nullptr && view->HasPendingWork(); ++pass) {
    s.app->scheduler.RunUntil([&] { return !view->HasPendingWork(); });
    s.app->scheduler.RunPendingTasks();
  }
  if (view != nullptr) view->FlushInvalidRect();
}

void Dump(ScriptState& s, const std::string& path) {
  viewer::Viewer& v = ViewerOf(s);
  v.PaintWindow(v.pageViewWindow);
  if (!RecordingHost::WriteCanvasPng(v.pageViewWindow, path)) s.output.push_back("dump failed: " + path);
}

std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", v);
  return text;
}

void Print(ScriptState& s) {
  if (ViewerOf(s).ownedPageView == nullptr) {
    s.output.push_back("no document");
    return;
  }
  viewer::PageView& view = *ViewerOf(s).ownedPageView;
  s.output.push_back("page " + std::to_string(view.CurrentPage()) + " zoom " +
                     Hex(static_cast<uint32_t>(view.EffectiveZoom())) + " rotation " +
                     std::to_string(view.Rotation()) + " mode " + std::to_string(view.Zoom().mode) + " size " + std::to_string(view.LargestWidth() >> 16) + "x" +
                     std::to_string(view.LargestHeight() >> 16) + " scale " + std::to_string(view.DeviceScaleX()));
}

void Requests(ScriptState& s) {
  if (ViewerOf(s).renderRegion == nullptr) return;
  const viewer::RenderRegion& region = *ViewerOf(s).renderRegion;
  for (uint32_t i = 0; i < region.Queue().Size(); ++i) {
    const viewer::RenderRequest* r = region.Queue()[i];
    std::string line = "request page " + std::to_string(r->page) + " state " + std::to_string(r->state);
    if (r->bitmap != nullptr) {
      const runtime::IntRect b = r->BitmapRect();
      line += " bitmap " + std::to_string(b.x0) + " " + std::to_string(b.y0) + " " + std::to_string(b.x1) + " " +
              std::to_string(b.y1);
    }
    s.output.push_back(line);
  }
}

const ScriptCommand kCommands[] = {
    {"zoom", 1,
     [](ScriptState& s, const Args& a) {
       const runtime::Fixed factor = runtime::FixedFromFloatRounded(std::strtod(a[0].c_str(), nullptr));
       viewer::Viewer& v = ViewerOf(s);
       v.RunPageViewRequest([&] { v.pageView->SetZoom(viewer::kZoomExplicit, factor); });
     }},
    {"zoomin", 0, [](ScriptState& s, const Args&) { Command(s, viewer::kCmdZoomIn); }},
    {"zoomout", 0, [](ScriptState& s, const Args&) { Command(s, viewer::kCmdZoomOut); }},
    {"fitwidth", 0, [](ScriptState& s, const Args&) { Command(s, viewer::kCmdFitWidth); }},
    {"fitpage", 0, [](ScriptState& s, const Args&) { Command(s, viewer::kCmdFitScreen); }},
    {"rotr", 0, [](ScriptState& s, const Args&) { Command(s, viewer::kCmdRotateRight); }},
    {"rotl", 0, [](ScriptState& s, const Args&) { Command(s, viewer::kCmdRotateLeft); }},
    {"nextpage", 0, [](ScriptState& s, const Args&) { Command(s, viewer::kCmdNextPage); }},
    {"prevpage", 0, [](ScriptState& s, const Args&) { Command(s, viewer::kCmdPreviousPage); }},
    {"first", 0, [](ScriptState& s, const Args&) { Command(s, viewer::kCmdFirstPage); }},
    {"last", 0, [](ScriptState& s, const Args&) { Command(s, viewer::kCmdLastPage); }},
    {"lineup", 0, [](ScriptState& s, const Args&) { Scroll(s, viewer::ScrollDirection::kUp, false); }},
    {"linedown", 0, [](ScriptState& s, const Args&) { Scroll(s, viewer::ScrollDirection::kDown, false); }},
    {"lineleft", 0, [](ScriptState& s, const Args&) { Scroll(s, viewer::ScrollDirection::kLeft, false); }},
    {"lineright", 0, [](ScriptState& s, const Args&) { Scroll(s, viewer::ScrollDirection::kRight, false); }},
    {"pageup", 0, [](ScriptState& s, const Args&) { Scroll(s, viewer::ScrollDirection::kUp, true); }},
    {"pagedown", 0, [](ScriptState& s, const Args&) { Scroll(s, viewer::ScrollDirection::kDown, true); }},
    {"idle", 0, [](ScriptState& s, const Args&) { Idle(s); }},
    {"dump", 1, [](ScriptState& s, const Args& a) { Dump(s, a[0]); }},
    {"print", 0, [](ScriptState& s, const Args&) { Print(s); }},
    {"requests", 0, [](ScriptState& s, const Args&) { Requests(s); }},
    {"records", 0,
     [](ScriptState& s, const Args&) {
       s.output.push_back("records layout " + std::to_string(s.app->layoutRecords.Count()) + " render " +
                          std::to_string(s.app->renderRecords.Count()));
     }},
    {"key", 1,
     [](ScriptState& s, const Args& a) {
       const int32_t handled = ViewerOf(s).OnKeyCommand(static_cast<char16_t>(static_cast<unsigned char>(a[0][0])));
       s.output.push_back("key " + a[0] + " -> " + std::to_string(handled));
     }},
    {"command", 1,
     [](ScriptState& s, const Args& a) {
       ViewerOf(s).ExecuteCommand(static_cast<uint32_t>(std::strtoul(a[0].c_str(), nullptr, 0)));
     }},
    {"tap", 2, PenTap},
    {"pendown", 2, PenDown},
    {"penmove", 2, PenMove},
    {"penup", 2, PenUp},
    {"selectdrag", 4, SelectDrag},
    {"margins", 0, [](ScriptState& s, const Args&) { PrintMargins(s); }},
    {"find", 1, SetUpFind, 4, FindArgumentsValid},
    {"finddialog", 0, RunFindDialog, 4,
     [](const Args& a) { return a.empty() || FindArgumentsValid(a); }},
    {"next", 0, [](ScriptState& s, const Args&) { FindNext(s); }},
    {"search", 0, [](ScriptState& s, const Args&) { StartFindNext(s); }},
    {"slice", 1, RunSlices, 0,
     [](const Args& a) { return !a[0].empty() && std::strspn(a[0].c_str(), "0123456789") == a[0].size(); }},
    {"busy", 0, [](ScriptState& s, const Args&) { PrintBusy(s); }},
    {"selection", 0, [](ScriptState& s, const Args&) { PrintSelection(s); }},
    {"tab", 0, [](ScriptState& s, const Args&) { NextLinkKey(s); }},
    {"enter", 0, [](ScriptState& s, const Args&) { ActionKey(s); }},
    {"showlinks", 1, ShowLinks, 0, ShowLinksArgumentsValid},
    {"focus", 0, [](ScriptState& s, const Args&) { PrintFocus(s); }},
    {"goto", 1, GoToPageDialog},
    {"pagebox", 1, TypeInPageBox},
    {"zoomdialog", 0, ZoomDialog, 1},
    {"bookmark", 0, Bookmarks, 1},
    // The main window resized to W x H, as the host reports it.
    {"resize", 2,
     [](ScriptState& s, const Args& a) {
       s.app->OnSize(ViewerOf(s).mainContainer, std::atoi(a[0].c_str()), std::atoi(a[1].c_str()));
     }},
    // Layout mode N (0-7), also those no menu command reaches.
    {"layout", 1, [](ScriptState& s, const Args& a) { ViewerOf(s).SetLayoutMode(std::atoi(a[0].c_str())); }},
};

struct Step {
  const ScriptCommand* command;
  Args args;
  uint32_t times;
};

bool Parse(const std::string& script, std::vector<Step>* steps, std::string* error) {
  std::stringstream all(script);
  std::string text;
  while (std::getline(all, text, ';')) {
    std::stringstream words(text);
    Args parts;
    for (std::string word; words >> word;) parts.push_back(word);
    if (parts.empty()) continue;
    uint32_t times = 1;
    const std::string& last = parts.back();
    if (parts.size() > 1 && last.size() > 1 && last[0] == 'x' && std::strspn(last.c_str() + 1, "0123456789") == last.size() - 1) {
      times = static_cast<uint32_t>(std::strtoul(last.c_str() + 1, nullptr, 10));
      parts.pop_back();
    }
    const ScriptCommand* found = nullptr;
    for (const ScriptCommand& c : kCommands) {
      if (parts[0] == c.name) found = &c;
    }
    if (found == nullptr) {
      *error = "unknown script command: " + parts[0];
      return false;
    }
    const size_t given = parts.size() - 1;
    const size_t most = std::max(found->arguments, found->most);
    if (given < found->arguments || given > most ||
        (found->valid != nullptr && !found->valid(Args(parts.begin() + 1, parts.end())))) {
      *error = "wrong arguments for: " + parts[0];
      return false;
    }
    steps->push_back({found, Args(parts.begin() + 1, parts.end()), times});
  }
  return true;
}

}  // namespace

bool RunScript(ScriptState& state, const std::string& script, std::string* error) {
  std::vector<Step> steps;
  if (!Parse(script, &steps, error)) return false;
  for (const Step& step : steps) {
    for (uint32_t i = 0; i < step.times; ++i) {
      // The message boxes a command brought up are printed after it.
      const size_t logged = state.host != nullptr ? state.host->log.size() : 0;
      step.command->run(state, step.args);
      if (state.host != nullptr) EchoMessages(state, logged);
    }
  }
  return true;
}

}  // namespace viewersim
