#include "fonts/ResourceFiles.h"

#include <cstring>

#include "fonts/EmbeddedProgram.h"
#include "fonts/FontProgramFile.h"
#include "platform/Files.h"
#include "runtime/ErrorTrap.h"
#include "runtime/OwnedBuffer.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"
#include "streams/FileStream.h"

namespace fonts {
namespace {

// The program folder, ending in a backslash; empty for none.
char16_t gProgramFolder[ResourceFiles::kMaxFolder + 1] = {};

constexpr std::u16string_view kCidFontFolder = u"Resources\\CIDFont\\";

bool NameByteAllowed(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '+' || c == '.' || c == '-';
}

}  // namespace

void ResourceFiles::SetProgramFolder(std::u16string_view folder) {
  if (folder.size() > kMaxFolder) folder = {};
  std::memset(gProgramFolder, 0, sizeof(gProgramFolder));
  std::memcpy(gProgramFolder, folder.data(), folder.size() * sizeof(char16_t));
}

bool ResourceFiles::IsFileName(std::string_view name) {
  if (name.empty() || name.size() > kMaxName) return false;
  if (name.find("..") != std::string_view::npos) return false;
  for (char c : name) {
    if (!NameByteAllowed(c)) return false;
  }
  return true;
}

std::u16string ResourceFiles::Path(std::string_view name, ResourceVariant variant) {
  const std::u16string_view folder(gProgramFolder);
  if (folder.empty() || !IsFileName(name)) return {};
  static constexpr const char16_t* kExtensions[] = {u"otf", u"otf.z", u"otf.zz"};
  std::u16string path(folder);
  if (path.back() != u'\\') path += u'\\';
  path += kCidFontFolder;
  // The name's bytes widened one to one.
  for (char c : name) path += static_cast<char16_t>(static_cast<unsigned char>(c));
  path += u'.';
  path += kExtensions[static_cast<int>(variant)];
  return path;
}

bool ResourceFiles::Exists(std::string_view name, ResourceVariant variant) {
  const std::u16string path = Path(name, variant);
  if (path.empty()) return false;
  platform::WIN32_FILE_ATTRIBUTE_DATA data{};
  return platform::GetFileAttributesExW(path.c_str(), platform::GetFileExInfoStandard, &data) != 0;
}

bool ResourceFiles::FontPresent(std::string_view name) {
  return Exists(name, ResourceVariant::kOtf) || Exists(name, ResourceVariant::kOtfZz);
}

streams::DataStoreRef ResourceFiles::Open(runtime::LibraryContext* context, std::string_view name) {
  if (Exists(name, ResourceVariant::kOtfZz)) runtime::ThrowRuntime(runtime::kUnsupported);
  const std::u16string path = Path(name, ResourceVariant::kOtf);
  if (path.empty()) runtime::ThrowRuntime(runtime::kOverflow);
  return streams::FileStream::Open(context, path.c_str());
}

runtime::CountedRef<FontProgram> ExternalCidFonts::Get(std::string_view name) {
  if (!ResourceFiles::FontPresent(name)) return {};
  runtime::LibraryContext* context = cache_.Cache().Context();
  char key[ResourceFiles::kMaxName + 1] = {};
  std::memcpy(key, name.data(), name.size());
  using Cache = runtime::ObjectCache<Entry, const char*, runtime::MemberCount<Entry>,
                                     runtime::TextKeyOrder>;
  const char* lookup = key;
  if (cache_.Cache().Lookup(&lookup) != nullptr) {  // now the most recently used
    Cache::Ref hit = cache_.FindRef(lookup);
    return hit->program;
  }
  streams::DataStoreRef file = ResourceFiles::Open(context, name);
  const uint64_t length = file->Length();
  if (length > kMaxProgramBytes) runtime::ThrowRuntime(runtime::kMalformed);
  runtime::OwnedBuffer data(context, context, static_cast<uint32_t>(length));
  uint64_t used = 0;
  while (used < length) {
    streams::BlockRef block = file->GetBlock(used);
    const uint32_t count = streams::CountOf(block);
    if (count == 0) break;
    runtime::ChargeWork(context, runtime::kWorkCostLight);
    const uint64_t take = count < length - used ? count : length - used;
    std::memcpy(data.Data() + used, block->Data(), take);
    used += take;
  }
  Cache::Ref built = Cache::Ref::Adopt(context, runtime::NewObject<Entry>(context));
  std::memcpy(built->name, key, sizeof(key));
  built->program = runtime::CountedRef<FontProgram>::Adopt(
      context, OpenFontProgram(context, {data.Data(), static_cast<size_t>(used)}));
  // The cached key points at the entry's own copy of the name.
  const char* entryKey = built->name;
  const uint32_t size = built->program->ByteSize() + static_cast<uint32_t>(sizeof(Entry));
  Cache::Ref entry = cache_.Get(entryKey, [&] { return Cache::Built{std::move(built), size}; });
  if (!entry) return {};
  return entry->program;
}

}  // namespace fonts
