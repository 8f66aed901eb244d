// The probe: the library on the command line, for tests, benchmarks and
// debugging. Errors go to stderr with their domain and code and end the
// program with a non-zero status.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "pdf/Document.h"
#include "pdf/ObjectPrinter.h"
#include "pdf/LinearizedPages.h"
#include "pdf/PageBoxes.h"
#include "pdf/SecurityHandler.h"
#include "pdf/StreamObject.h"
#include "platform/Files.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"
#include "runtime/Scheduler.h"
#include "streams/ChainedStream.h"
#include "streams/FileStream.h"
#include "tools/probe/DocumentCommands.h"
#include "tools/probe/FontsCommand.h"
#include "tools/probe/FindCommand.h"
#include "tools/probe/GlyphCommand.h"
#include "tools/probe/OpsCommand.h"
#include "tools/probe/ReflowCommand.h"
#include "tools/probe/RenderCommand.h"
#include "tools/probe/SweepCommand.h"
#include "tools/probe/TextCommand.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: probe selftest\n"
               "       probe info FILE [--password PW]\n"
               "       probe object FILE NUM [GEN] [--password PW]\n"
               "       probe objects FILE [--password PW]\n"
               "       probe pages FILE [--linearized|--count] [--password PW]\n"
               "       probe stream FILE NUM [GEN] [--raw] [--password PW]\n"
               "       probe ops FILE PAGE|all [MAX] [--quiet]\n"
               "       probe outline FILE\n"
               "       probe meta FILE\n"
               "       probe dest FILE NAME\n"
               "       probe glyph FONTFILE NAME|INDEX [--px N] [--unhinted] [--png OUT]\n"
               "       probe fonts FILE [PAGE]\n"
               "       probe glyphs FILE PAGE\n"
               "       probe render FILE PAGE|all [--dpi N] [--format rgb565|rgb24|rgb32] [--stats] -o OUT\n"
               "       probe text FILE PAGE|all [MAX] [--content-order] [--password PW]\n"
               "       probe find FILE WORD [MAX] [--password PW]\n"
               "       probe reflow FILE PAGE|all --width W [--height H] [--pages N] [-o OUT.png] [--password PW]\n"
               "       probe each COMMAND [ARGS...] -- FILE...\n"
               "       probe sweep [--seconds N] 'COMMAND [ARGS...]'... -- FILE...\n");
  return 2;
}

// Shows that the runtime stands: an error thrown through a trap with a
// registered cleanup, and the memory account after it.
int SelfTest() {
  runtime::LibraryContext context;
  context.memory.SetBudget(runtime::kNoLimit);
  runtime::ErrorTrap trap(&context);
  if (!trap.Run([&] {
        void* block = runtime::AllocOrThrow(&context, 4096);
        std::printf("allocated 4096 bytes, in use %llu\n",
                    static_cast<unsigned long long>(context.memory.bytesInUse));
        context.memory.Free(block);
        runtime::ThrowRuntime(runtime::kMalformed);
      })) {
    trap.SetHandled();
    std::printf("caught %s %u\n", trap.Held().domain, trap.Held().code);
    trap.Close();
  }
  std::printf("in use after: %llu\n", static_cast<unsigned long long>(context.memory.bytesInUse));
  return 0;
}

// Releases the document however the command ends.
struct DocumentHolder {
  runtime::LibraryContext* context;
  pdf::Document* document = nullptr;
  ~DocumentHolder() { runtime::DestroyAndFree(context, document); }
};

// The password given with --password (empty when none).
std::string gPassword;
// The memory budget documents are opened with (none unless a command sets
// one: rendering uses the device's).
uint32_t gBudget = runtime::kNoLimit;
constexpr uint32_t kDeviceBudget = 0xA00000;  // 10 MiB

// Opens FILE, sets up its security with the password and runs `command` on
// the document inside a trap; an error is reported with its domain and
// code. Encryption no password can open is (runtime, 5); a wrong password
// fails only the commands that read objects (`needsAccess`).
template <class Command>
int WithDocument(const char* path, Command&& command, bool needsAccess = true) {
  runtime::LibraryContext context;
  context.memory.SetBudget(gBudget);
  runtime::SetDefaultContext(&context);
  std::error_code ignored;
  const std::u16string devicePath =
      platform::DevicePathFromHost(std::filesystem::absolute(path, ignored).string());
  int status = 0;
  runtime::ErrorTrap trap(&context);
  if (!trap.Run([&] {
        DocumentHolder holder{&context};
        streams::DataStoreRef file = streams::FileStream::Open(&context, devicePath.c_str());
        holder.document = pdf::Document::Open(&context, std::move(file));
        const bool authorised = holder.document->SetupSecurity(
            "Standard", reinterpret_cast<const uint8_t*>(gPassword.data()),
            static_cast<uint32_t>(gPassword.size()));
        if (!holder.document->EncryptionSupported()) runtime::ThrowRuntime(runtime::kUnsupported);
        if (!authorised && needsAccess) {
          std::fprintf(stderr, "probe: wrong password\n");
          status = 3;
          return;
        }
        status = command(*holder.document);
      })) {
    trap.SetHandled();
    std::fprintf(stderr, "probe: error %s %u\n", trap.Held().domain, trap.Held().code);
    trap.Close();
    status = 1;
  }
  std::fflush(stdout);
  runtime::SetDefaultContext(nullptr);
  return status;
}

bool ParseNumber(const char* text, uint32_t* out) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (end == text || *end != '\0' || value > 0x7FFFFFFF) return false;
  *out = static_cast<uint32_t>(value);
  return true;
}

int Info(pdf::Document& document) {
  runtime::ObjectHandle trailer = document.GetTrailer();
  const bool encrypted = !runtime::Dictionary::FindByName(trailer.Value(), "Encrypt")->IsNull();
  std::printf("version: %s\n", document.Version());
  std::printf("encrypted: %s\n", encrypted ? "yes" : "no");
  if (const pdf::SecurityHandler* security = document.Security()) {
    static const char* const kPasswords[] = {"no", "user", "owner"};
    std::printf("security: Standard R%u, %u-bit key, permissions 0x%08X\n",
                security->Revision(), security->KeyLength() * 8, security->Permissions());
    std::printf("authorised: %s\n", kPasswords[static_cast<int>(security->Authorisation())]);
  }
  std::printf("objects: %u\n", document.ObjectCountHint());
  std::printf("trailer: %s\n", pdf::ObjectPrinter::ToString(trailer.Value()).c_str());
  return 0;
}

// The object NUM (of generation GEN when given).
runtime::ObjectHandle Fetch(pdf::Document& document, uint32_t number, bool hasGeneration,
                            uint32_t generation) {
  if (hasGeneration) return document.GetObject(number, generation);
  return document.GetObjectAnyGeneration(number, &generation);
}

int ObjectOrStream(int argc, char** argv, bool stream) {
  if (argc < 4) return Usage();
  uint32_t number = 0;
  uint32_t generation = 0;
  bool hasGeneration = false;
  bool raw = false;
  if (!ParseNumber(argv[3], &number)) return Usage();
  for (int i = 4; i < argc; ++i) {
    if (stream && std::strcmp(argv[i], "--raw") == 0) {
      raw = true;
    } else if (!hasGeneration && ParseNumber(argv[i], &generation)) {
      hasGeneration = true;
    } else {
      return Usage();
    }
  }
  return WithDocument(argv[2], [&](pdf::Document& document) {
    runtime::ObjectHandle object = Fetch(document, number, hasGeneration, generation);
    if (!stream) {
      std::string text = pdf::ObjectPrinter::ToString(object.Value());
      if (pdf::StreamObject::IsStream(object.Value())) text += "\nstream";
      std::printf("%s\n", text.c_str());
      return 0;
    }
    streams::StreamRef data = raw ? pdf::StreamObject::OpenRaw(document, object)
                                  : pdf::StreamObject::OpenData(document, object);
    for (;;) {
      streams::BlockRef block = data->FetchBlock();
      if (streams::CountOf(block) == 0) break;
      std::fwrite(block->Data(), 1, block->Count(), stdout);
    }
    return 0;
  });
}

// Every object the trailer's "Size" covers, as far as the cross-reference
// data lists objects, one line each; an object that fails to load is
// reported on its line and the walk goes on.
int AllObjects(pdf::Document& document) {
  const uint32_t count = document.ObjectCount();
  for (uint32_t number = 1; number < count; ++number) {
    runtime::ChargeWork(document.Context(), runtime::kWorkCostLight);
    std::string text;
    runtime::ErrorTrap trap(document.Context());
    if (!trap.Run([&] {
          uint32_t generation = 0;
          runtime::ObjectHandle object = document.GetObjectAnyGeneration(number, &generation);
          text = std::to_string(generation) + " " + pdf::ObjectPrinter::ToString(object.Value());
        })) {
      trap.SetHandled();
      if (trap.Held().IsRuntime(runtime::kCancelled)) trap.Rethrow();
      text = std::string("error ") + trap.Held().domain + " " + std::to_string(trap.Held().code);
      trap.Close();
    }
    std::printf("%u %s\n", number, text.c_str());
  }
  return 0;
}

// ops FILE PAGE|all [MAX] [--quiet]
int Ops(int argc, char** argv) {
  if (argc < 4) return Usage();
  uint32_t maxPages = 0;
  bool quiet = false;
  for (int i = 4; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quiet") == 0) {
      quiet = true;
    } else if (!ParseNumber(argv[i], &maxPages)) {
      return Usage();
    }
  }
  return WithDocument(argv[2], [&](pdf::Document& document) {
    return probe::PlayPageOperations(document, argv[3], maxPages, quiet);
  });
}

std::string BoxText(const runtime::Rect& box) {
  char text[128];
  std::snprintf(text, sizeof(text), "%.2f %.2f %.2f %.2f", runtime::FixedToDouble(box.x0),
                runtime::FixedToDouble(box.y0), runtime::FixedToDouble(box.x1),
                runtime::FixedToDouble(box.y1));
  return text;
}

// The page count, then one line per page (numbered from 1) with its media
// box, its crop box (clipped to the media box) and its rotation; a page
// that fails is reported on its line and the rest still follow.
int Pages(pdf::Document& document) {
  const int32_t count = document.GetPageCount();
  std::printf("pages: %d\n", count);
  // Every page is an object of its own: a count beyond the objects the file
  // lists names pages that cannot exist.
  const int32_t listed = static_cast<int32_t>(std::min<uint32_t>(document.ObjectCount(), INT32_MAX));
  for (int32_t index = 0; index < std::min(count, listed); ++index) {
    runtime::ChargeWork(document.Context(), runtime::kWorkCostLight);
    std::string text;
    runtime::ErrorTrap trap(document.Context());
    if (!trap.Run([&] {
          const pdf::PageBoxes boxes = pdf::PageBoxes::Read(document.GetPageDict(index));
          text = "media " + BoxText(boxes.media) + " crop " + BoxText(boxes.box) + " rotate " +
                 std::to_string(boxes.rotation);
        })) {
      trap.SetHandled();
      if (trap.Held().IsRuntime(runtime::kCancelled)) trap.Rethrow();
      text = std::string("error ") + trap.Held().domain + " " + std::to_string(trap.Held().code);
      trap.Close();
    }
    std::printf("page %d: %s\n", index + 1, text.c_str());
  }
  return 0;
}

// What the hint tables say of each page: its page object and the bytes
// its own objects take (the first page's lie in the first-page section).
int LinearizedPageList(pdf::Document& document) {
  if (document.Linearization() == nullptr) {
    std::printf("not linearized\n");
    return 0;
  }
  const pdf::LinearizedPages& pages = *document.Linearization();
  std::printf("pages: %d\n", pages.PageCount());
  std::printf("hints: %s\n", pages.HasHints() ? "yes" : "no");
  // Read hint tables hold one record per page; without them "N" is only a
  // claim, and a page beyond the objects the file lists cannot exist.
  const int32_t listed =
      pages.HasHints() ? pages.PageCount()
                       : static_cast<int32_t>(std::min<uint32_t>(document.ObjectCount(), INT32_MAX));
  for (int32_t index = 0; index < std::min(pages.PageCount(), listed); ++index) {
    runtime::ChargeWork(document.Context(), runtime::kWorkCostLight);
    std::string text = "object " + std::to_string(pages.ObjectOfPage(index));
    if (pages.HasHints() && index != pages.FirstPage()) {
      const streams::ByteRange range = pages.PageObjectsRange(index);
      text += " offset " + std::to_string(range.start) + " length " +
              std::to_string(range.end - range.start);
    }
    std::printf("page %d: %s\n", index + 1, text.c_str());
  }
  return 0;
}

int Dispatch(int argc, char** argv);

// each COMMAND [ARGS...] -- FILE...: the command on every file in turn, in
// one process, each file's status on a line of its own ("each: STATUS
// FILE") after the command's output. Sweeps over many files use it: under
// the sanitizers starting a process costs more than reading most files.
int Each(int argc, char** argv) {
  int separator = 2;
  while (separator < argc && std::strcmp(argv[separator], "--") != 0) ++separator;
  if (separator == 2 || separator >= argc - 1) return Usage();
  int worst = 0;
  for (int file = separator + 1; file < argc; ++file) {
    std::vector<char*> line{argv[0], argv[2], argv[file]};
    line.insert(line.end(), argv + 3, argv + separator);
    line.push_back(nullptr);
    const int status = Dispatch(static_cast<int>(line.size()) - 1, line.data());
    std::fflush(stderr);
    std::printf("each: %d %s\n", status, argv[file]);
    std::fflush(stdout);
    worst = std::max(worst, status);
  }
  return worst;
}

// One command line, FILE in argv[2].
int Dispatch(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  if (command == "selftest") return SelfTest();
  if (command == "each") return Each(argc, argv);
  if (command == "sweep") return probe::Sweep(argc, argv, Dispatch);
  if (command == "info" && argc == 3) return WithDocument(argv[2], Info, false);
  if (command == "objects" && argc == 3) return WithDocument(argv[2], AllObjects);
  if (command == "pages" && argc == 3) return WithDocument(argv[2], Pages);
  if (command == "pages" && argc == 4 && std::strcmp(argv[3], "--count") == 0) {
    return WithDocument(argv[2], [](pdf::Document& document) {
      std::printf("pages: %d\n", document.GetPageCount());
      return 0;
    });
  }
  if (command == "pages" && argc == 4 && std::strcmp(argv[3], "--linearized") == 0) {
    return WithDocument(argv[2], LinearizedPageList);
  }
  if (command == "object") return ObjectOrStream(argc, argv, false);
  if (command == "stream") return ObjectOrStream(argc, argv, true);
  if (command == "ops") return Ops(argc, argv);
  if (command == "glyph") return probe::GlyphCommand(argc, argv);
  if (command == "fonts" && (argc == 3 || argc == 4)) {
    return WithDocument(argv[2], [&](pdf::Document& document) {
      return probe::PrintFonts(document, argc == 4 ? argv[3] : nullptr);
    });
  }
  if (command == "glyphs" && argc == 4) {
    return WithDocument(argv[2], [&](pdf::Document& document) {
      return probe::PrintGlyphs(document, argv[3]);
    });
  }
  if (command == "render") {
    if (!probe::ParseRenderOptions(argc, argv)) return Usage();
    // Pages render within the device's memory budget.
    gBudget = kDeviceBudget;
    const char* file = argv[2];
    const int status =
        WithDocument(file, [file](pdf::Document& document) { return probe::RenderPages(document, file); });
    gBudget = runtime::kNoLimit;
    return status;
  }
  if (command == "reflow") {
    if (!probe::ParseReflowOptions(argc, argv)) return Usage();
    // Reflow, like rendering, works within the device's memory budget.
    gBudget = kDeviceBudget;
    const int status = WithDocument(argv[2], probe::ReflowPage);
    gBudget = runtime::kNoLimit;
    return status;
  }
  if (command == "text" && argc >= 4 && argc <= 6) {
    // --content-order may close the line.
    const bool contentOrder = std::strcmp(argv[argc - 1], "--content-order") == 0;
    if (contentOrder) --argc;
    uint32_t maxPages = 0;
    if (argc == 6 || (argc == 5 && !ParseNumber(argv[4], &maxPages))) return Usage();
    return WithDocument(argv[2], [&](pdf::Document& document) {
      return probe::PrintText(document, argv[3], maxPages, contentOrder);
    });
  }
  if (command == "find" && (argc == 4 || argc == 5)) {
    uint32_t maxPages = 0;
    if (argc == 5 && !ParseNumber(argv[4], &maxPages)) return Usage();
    return WithDocument(argv[2], [&](pdf::Document& document) {
      return probe::FindText(document, argv[3], maxPages);
    });
  }
  if (command == "outline" && argc == 3) return WithDocument(argv[2], probe::PrintOutline);
  if (command == "meta" && argc == 3) return WithDocument(argv[2], probe::PrintMeta);
  if (command == "dest" && argc == 4) {
    return WithDocument(argv[2], [&](pdf::Document& document) {
      return probe::PrintDestination(document, argv[3]);
    });
  }
  return Usage();
}

}  // namespace

int main(int argc, char** argv) {
  // --password PW may stand anywhere after the command.
  for (int i = 2; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--password") != 0) continue;
    gPassword = argv[i + 1];
    for (int k = i; k + 2 <= argc; ++k) argv[k] = argv[k + 2];
    argc -= 2;
    break;
  }
  return Dispatch(argc, argv);
}
