#pragma once
// Font resource files beside the program: CID font programs in the folder
// "Resources\CIDFont\" under the program's folder, named after the font
// with the extension "otf". A compressed "otf.zz" file counts as present
// but cannot be opened. The program folder is set when the application
// starts (and by tests); without one there are no resource files.
#include <cstdint>
#include <string>
#include <string_view>

#include "fonts/FontProgram.h"
#include "runtime/CountedRef.h"
#include "runtime/ObjectCache.h"
#include "streams/DataSource.h"

namespace fonts {

enum class ResourceVariant : int { kOtf = 0, kOtfZ = 1, kOtfZz = 2 };

class ResourceFiles {
 public:
  // The longest program folder kept, in UTF-16 units.
  static constexpr uint32_t kMaxFolder = 260;
  // The longest font name that names a file.
  static constexpr uint32_t kMaxName = 127;

  // The device folder of the running program (its path cut after the last
  // backslash); empty for none.
  static void SetProgramFolder(std::u16string_view folder);
  // Whether a font name may name a file: 1 to kMaxName bytes of
  // [A-Za-z0-9_+.-] and no "..".
  static bool IsFileName(std::string_view name);
  // The file's device path; empty for a name that may not name a file or
  // when no program folder is set.
  static std::u16string Path(std::string_view name, ResourceVariant variant);
  static bool Exists(std::string_view name, ResourceVariant variant);
  // Whether the "otf" or the "otf.zz" file exists.
  static bool FontPresent(std::string_view name);
  // The "otf" file; (runtime, 5) when the "otf.zz" file exists, (runtime, 1)
  // when the file cannot be opened.
  static streams::DataStoreRef Open(runtime::LibraryContext* context, std::string_view name);
};

// External CID font programs, read once and shared while cached.
class ExternalCidFonts {
 public:
  explicit ExternalCidFonts(runtime::LibraryContext* context) : cache_(context) {}

  // The CFF program of the font's resource file; an empty holder when no
  // file is present. Errors of opening or reading it pass on.
  runtime::CountedRef<FontProgram> Get(std::string_view name);

  uint32_t Count() const { return cache_.Cache().Count(); }

 private:
  // A cached program with the name it is cached under (the key points at
  // the name).
  struct Entry {
    char name[ResourceFiles::kMaxName + 1];
    runtime::CountedRef<FontProgram> program;
    uint32_t refCount = 1;
  };
  runtime::ObjectCache<Entry, const char*, runtime::MemberCount<Entry>, runtime::TextKeyOrder> cache_;
};

}  // namespace fonts
