// viewer-sim: drives the viewer headless against the recording host and
// prints what the viewer asked of the host.
//
//   viewer-sim [FILE] [--options N] [--dpi N] [--size WxH] [--budget N]
//              [--language N] [--start] [--fire-start-timer]
//              [--password-answers 'a,b,...']
//              [--command ID]... [--key C]... [--popup ID]... [--png PATH]
//              [--script 'CMD; CMD ...']
//
// --start starts the viewer (with FILE as the document its start timer
// opens); without --start, FILE is opened at once, as a path sent by
// another instance is. The password dialog answers the passwords of
// --password-answers in order and is missing (a cancelled prompt) after
// them. The commands, keys and popups then run in the order given. The output has
// three sections: the host-call log, the menu tree (after the last popup
// refresh) and the memory limits of the library context.
//
// --script starts the viewer, opens FILE in it and runs the script's
// commands (tools/viewer-sim/ScriptRunner.h); what they print comes first,
// under "script:", and the page areas drawn are logged.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <filesystem>

#include "platform/Files.h"
#include "tools/viewer-sim/RecordingHost.h"
#include "tools/viewer-sim/ScriptRunner.h"
#include "viewer/RenderRegion.h"
#include "viewer/ViewerApp.h"

namespace {

struct Step {
  enum Kind { kCommand, kKey, kPopup, kFireStartTimer } kind;
  uint32_t value;
};

int Usage() {
  std::fprintf(stderr,
               "usage: viewer-sim [FILE] [--options N] [--dpi N] [--size WxH] [--budget N]\n"
               "                  [--language N] [--start] [--fire-start-timer]\n"
               "                  [--password-answers 'a,b,...']\n"
               "                  [--command ID]... [--key C]... [--popup ID]... [--png PATH]\n"
               "                  [--script 'CMD; CMD ...']\n");
  return 2;
}

bool ParseNumber(const char* text, uint32_t* value) {
  char* end = nullptr;
  const unsigned long long parsed = std::strtoull(text, &end, 0);
  if (end == text || *end != '\0' || parsed > 0xFFFFFFFFull) return false;
  *value = static_cast<uint32_t>(parsed);
  return true;
}

// Logs the page areas drawn, so that a run shows what each step redrew.
class DrawLog final : public viewer::RenderObserver {
 public:
  explicit DrawLog(viewersim::RecordingHost& host) : host_(host) {}
  void OnAreaDrawn(int32_t page, const runtime::IntRect& a) override {
    host_.Record("DrawArea page " + std::to_string(page) + " " + std::to_string(a.x0) + " " + std::to_string(a.y0) +
                 " " + std::to_string(a.x1) + " " + std::to_string(a.y1));
  }
  void OnPreview(int32_t page, const runtime::IntRect& a) override {
    host_.Record("Preview page " + std::to_string(page) + " " + std::to_string(a.x0) + " " + std::to_string(a.y0) +
                 " " + std::to_string(a.x1) + " " + std::to_string(a.y1));
  }

 private:
  viewersim::RecordingHost& host_;
};

}  // namespace

int main(int argc, char** argv) {
  viewersim::RecordingHost host;
  uint32_t options = 0;
  bool start = false;
  std::u16string file;
  bool haveFile = false;
  std::string png;
  std::string script;
  bool haveScript = false;
  std::vector<Step> steps;

  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    uint32_t number = 0;
    auto numeric = [&](uint32_t* out) {
      if (value == nullptr || !ParseNumber(value, out)) return false;
      ++i;
      return true;
    };
    if (std::strcmp(arg, "--options") == 0) {
      if (!numeric(&options)) return Usage();
    } else if (std::strcmp(arg, "--dpi") == 0) {
      if (!numeric(&number) || number == 0 || number > 2400) return Usage();
      host.screenDpi = static_cast<int32_t>(number);
    } else if (std::strcmp(arg, "--size") == 0) {
      int w = 0, h = 0;
      if (value == nullptr || std::sscanf(value, "%dx%d", &w, &h) != 2 || w <= 0 || h <= 0 ||
          w > 8192 || h > 8192) {
        return Usage();
      }
      ++i;
      host.workArea = {0, 0, w, h};
    } else if (std::strcmp(arg, "--budget") == 0) {
      if (!numeric(&host.memoryBudget)) return Usage();
    } else if (std::strcmp(arg, "--language") == 0) {
      if (!numeric(&host.languageIndex)) return Usage();
    } else if (std::strcmp(arg, "--start") == 0) {
      start = true;
    } else if (std::strcmp(arg, "--fire-start-timer") == 0) {
      steps.push_back({Step::kFireStartTimer, 0});
    } else if (std::strcmp(arg, "--command") == 0) {
      if (!numeric(&number)) return Usage();
      steps.push_back({Step::kCommand, number});
    } else if (std::strcmp(arg, "--popup") == 0) {
      if (!numeric(&number)) return Usage();
      steps.push_back({Step::kPopup, number});
    } else if (std::strcmp(arg, "--key") == 0) {
      if (value == nullptr || std::strlen(value) != 1) return Usage();
      ++i;
      steps.push_back({Step::kKey, static_cast<uint32_t>(static_cast<unsigned char>(value[0]))});
    } else if (std::strcmp(arg, "--password-answers") == 0) {
      if (value == nullptr) return Usage();
      ++i;
      // Comma-separated; each answer byte by byte (passwords are Latin-1
      // here).
      std::u16string answer;
      for (const char* p = value;; ++p) {
        if (*p == ',' || *p == '\0') {
          host.passwordAnswers.push_back(answer);
          answer.clear();
          if (*p == '\0') break;
        } else {
          answer += static_cast<char16_t>(static_cast<unsigned char>(*p));
        }
      }
    } else if (std::strcmp(arg, "--script") == 0) {
      if (value == nullptr) return Usage();
      script = value;
      haveScript = true;
      ++i;
    } else if (std::strcmp(arg, "--png") == 0) {
      if (value == nullptr) return Usage();
      png = value;
      ++i;
    } else if (arg[0] == '-' || haveFile) {
      return Usage();
    } else {
      // The viewer sees the file by its device path.
      std::error_code ignored;
      file = platform::DevicePathFromHost(std::filesystem::absolute(arg, ignored).string());
      haveFile = true;
    }
  }

  viewer::ViewerApp* app = viewer::ViewerApp::Create(&host, options);
  if (app == nullptr) {
    std::fprintf(stderr, "viewer-sim: no memory for the viewer\n");
    return 1;
  }
  host.scheduler = &app->scheduler;
  int status = 0;
  DrawLog drawLog(host);
  viewersim::ScriptState scriptState;
  scriptState.app = app;
  scriptState.host = &host;
  {
    runtime::ErrorTrap trap(&app->context);
    const bool ran = trap.Run([&] {
      if (haveScript) {
        // The controls first, laid out for the container as the host's size
        // message would; then the file is opened into them.
        app->OpenInitialDocument(nullptr);
        runtime::HostRect container{};
        if (app->viewer.mainContainer != nullptr) app->viewer.mainContainer->GetRect(&container);
        app->OnSize(app->viewer.mainContainer, container.right - container.left, container.bottom - container.top);
        if (haveFile) host.Record("open -> " + std::to_string(app->OnCopyData(file.c_str())));
        if (app->viewer.renderRegion != nullptr) app->viewer.renderRegion->SetObserver(&drawLog);
      } else if (start) {
        app->OpenInitialDocument(haveFile ? file.c_str() : nullptr);
      } else if (haveFile) {
        host.Record("open -> " + std::to_string(app->OnCopyData(file.c_str())));
      }
      for (const Step& step : steps) {
        switch (step.kind) {
          case Step::kCommand:
            app->OnCommand(step.value);
            break;
          case Step::kKey:
            host.Record("key " + std::string(1, static_cast<char>(step.value)) + " -> " +
                        std::to_string(app->OnKeyCommand(static_cast<char16_t>(step.value))));
            break;
          case Step::kPopup:
            app->viewer.GetMenuForPopup(step.value);
            break;
          case Step::kFireStartTimer:
            for (viewersim::RecordedTimer* timer : host.LiveTimers()) {
              if (timer->callback != nullptr && timer->milliseconds == viewer::kSplashMilliseconds) {
                host.Fire(timer);
              }
            }
            break;
        }
      }
      std::string error;
      if (haveScript && !viewersim::RunScript(scriptState, script, &error)) {
        std::fprintf(stderr, "viewer-sim: %s\n", error.c_str());
        status = 2;
      }
    });
    if (!ran) {
      const runtime::ErrorRecord error = trap.Held();
      trap.SetHandled();
      trap.Close();
      std::printf("error: %s %u\n", error.domain, error.code);
      status = 1;
    }
  }
  if (!png.empty() && !host.WritePng(png)) {
    std::fprintf(stderr, "viewer-sim: cannot write %s\n", png.c_str());
    status = 1;
  }
  // The document shown, if any: its path and pages.
  std::string document = "none";
  if (app->viewer.currentPath != nullptr) {
    const viewer::PageViewState view =
        app->viewer.pageView != nullptr ? app->viewer.pageView->State() : viewer::PageViewState{};
    document = viewersim::LogText(app->viewer.currentPath) + " pages " +
               std::to_string(view.pageCount) + " page " + std::to_string(view.currentPage);
  }
  const std::string menu = viewersim::DumpMenu(app->viewer.menu.Root());
  const runtime::MemoryContext& memory = app->context.memory;
  const std::string limits = std::to_string(memory.softLimit) + " / " +
                             std::to_string(memory.hardLimit) + " / " +
                             std::to_string(memory.largestCountedBlock) + " / " +
                             std::to_string(memory.minimumPurge);
  viewer::ViewerApp::Destroy(app);
  host.scheduler = nullptr;

  if (haveScript) {
    std::printf("script:\n");
    for (const std::string& line : scriptState.output) std::printf("  %s\n", line.c_str());
  }
  std::printf("log:\n");
  for (const std::string& line : host.log) std::printf("  %s\n", line.c_str());
  std::printf("menu:\n");
  size_t from = 0;
  while (from < menu.size()) {
    const size_t end = menu.find('\n', from);
    std::printf("  %s\n", menu.substr(from, end - from).c_str());
    from = end + 1;
  }
  std::printf("memory limits: %s\n", limits.c_str());
  std::printf("document: %s\n", document.c_str());
  return status;
}
