#include "platform/Registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "platform/WideText.h"

namespace platform {
namespace {

// Limits of names, as the device enforces them.
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;
constexpr size_t kMaxKeyDepth = 64;
constexpr LONG kErrorKeyDeleted = 1018;
constexpr LONG kSuccess = static_cast<LONG>(ERROR_SUCCESS);
constexpr LONG kInvalidParameter = static_cast<LONG>(ERROR_INVALID_PARAMETER);

struct Value {
  std::u16string name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  bool operator==(const Value&) const = default;
};

struct Key {
  std::u16string path;  // as first created, e.g. HKEY_CURRENT_USER\Software
  std::vector<Value> values;
  bool operator==(const Key&) const = default;
};

// Keys by their path folded to lower case.
using KeyMap = std::map<std::u16string, Key>;

struct OpenKey {
  std::u16string foldedPath;
};

enum class Storage { kFile, kMemory };

// What identifies the file's contents as read or written last: another
// program (or an editor) that changes the file changes this.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = -1;
  int64_t modified = 0;  // nanoseconds
  bool operator==(const FileStamp&) const = default;
};

struct Registry {
  std::recursive_mutex lock;
  Storage storage = Storage::kFile;
  std::string filePath;  // empty: the default path
  bool loaded = false;
  KeyMap keys;
  FileStamp stamp;
  std::set<OpenKey*> handles;
  RegistryTestHooks hooks;
  // A batch collects changes in memory and writes them once at its end.
  int batchDepth = 0;
  KeyMap batchBackup;
  std::vector<std::function<LONG()>> journal;  // changes not yet in the file
};

Registry& TheRegistry() {
  static Registry* registry = new Registry();  // lives to the end of the process
  return *registry;
}

std::u16string Fold(std::u16string_view text) {
  std::u16string folded(text);
  for (auto& c : folded) c = WideLowerAscii(c);
  return folded;
}

const char16_t* RootName(HKEY key) {
  if (key == HKEY_CLASSES_ROOT) return u"HKEY_CLASSES_ROOT";
  if (key == HKEY_CURRENT_USER) return u"HKEY_CURRENT_USER";
  if (key == HKEY_LOCAL_MACHINE) return u"HKEY_LOCAL_MACHINE";
  return nullptr;
}

bool IsRootPath(std::u16string_view folded) {
  return folded == u"hkey_classes_root" || folded == u"hkey_current_user" || folded == u"hkey_local_machine";
}

// ---- text form -------------------------------------------------------------

void AppendQuoted(std::string& out, std::u16string_view text) {
  out.push_back('"');
  for (unsigned char c : Utf8FromWide(text)) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\x%02x", c);
          out += escape;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out.push_back('"');
}

// A key path component may hold anything but "\"; "%", "]" and control
// characters are written as %XX so that a key line stays one line.
void AppendKeyPath(std::string& out, std::u16string_view path) {
  for (unsigned char c : Utf8FromWide(path)) {
    if (c == '%' || c == ']' || c < 0x20 || c == 0x7F) {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", c);
      out += escape;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
}

// The text of a string value when its data is exactly one well-formed
// terminated string; such values are written as readable text.
bool CanonicalString(const std::vector<BYTE>& data, std::u16string& text) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  text.assign(data.size() / 2 - 1, u'\0');
  std::memcpy(text.data(), data.data(), data.size() - 2);
  if (data[data.size() - 2] != 0 || data[data.size() - 1] != 0) return false;
  if (text.find(u'\0') != std::u16string::npos) return false;
  return WideFromUtf8(Utf8FromWide(text)) == text;
}

std::string Serialise(const KeyMap& keys) {
  std::string out =
      "; Settings of the handheld registry. A [key] line opens a key; below it\n"
      "; \"name\"=\"text\", \"name\"=expand:\"text\", \"name\"=dword:0000002a or\n"
      "; \"name\"=hex(type):bytes. Edit while the application is not running.\n";
  for (const auto& [folded, key] : keys) {
    out += "\n[";
    AppendKeyPath(out, key.path);
    out += "]\n";
    for (const auto& value : key.values) {
      AppendQuoted(out, value.name);
      out.push_back('=');
      std::u16string text;
      if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD number = 0;
        std::memcpy(&number, value.data.data(), 4);
        char digits[16];
        std::snprintf(digits, sizeof digits, "dword:%08x", number);
        out += digits;
      } else if (value.type == REG_SZ && CanonicalString(value.data, text)) {
        AppendQuoted(out, text);
      } else if (value.type == REG_EXPAND_SZ && CanonicalString(value.data, text)) {
        out += "expand:";
        AppendQuoted(out, text);
      } else {
        char head[24];
        std::snprintf(head, sizeof head, "hex(%x):", value.type);
        out += head;
        for (size_t i = 0; i < value.data.size(); ++i) {
          char byte[4];
          std::snprintf(byte, sizeof byte, i == 0 ? "%02x" : ",%02x", value.data[i]);
          out += byte;
        }
      }
      out.push_back('\n');
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted text at the start of line; advances past it.
bool ParseQuoted(std::string_view& line, std::u16string& text) {
  if (line.empty() || line[0] != '"') return false;
  std::string bytes;
  size_t i = 1;
  for (; i < line.size() && line[i] != '"'; ++i) {
    if (line[i] != '\\') {
      bytes.push_back(line[i]);
      continue;
    }
    if (++i >= line.size()) return false;
    switch (line[i]) {
      case '"': bytes.push_back('"'); break;
      case '\\': bytes.push_back('\\'); break;
      case 'n': bytes.push_back('\n'); break;
      case 'r': bytes.push_back('\r'); break;
      case 't': bytes.push_back('\t'); break;
      case 'x': {
        if (i + 2 >= line.size()) return false;
        const int high = HexDigit(line[i + 1]);
        const int low = HexDigit(line[i + 2]);
        if (high < 0 || low < 0) return false;
        bytes.push_back(static_cast<char>(high * 16 + low));
        i += 2;
        break;
      }
      default: return false;
    }
  }
  if (i >= line.size()) return false;
  line.remove_prefix(i + 1);
  text = WideFromUtf8(bytes);
  return true;
}

std::vector<BYTE> StringData(std::u16string_view text) {
  std::vector<BYTE> data((text.size() + 1) * 2, 0);
  std::memcpy(data.data(), text.data(), text.size() * 2);
  return data;
}

bool ParseValueData(std::string_view data, Value& value) {
  std::u16string text;
  if (!data.empty() && data[0] == '"') {
    if (!ParseQuoted(data, text) || !data.empty()) return false;
    value.type = REG_SZ;
    value.data = StringData(text);
    return true;
  }
  if (data.starts_with("expand:")) {
    data.remove_prefix(7);
    if (!ParseQuoted(data, text) || !data.empty()) return false;
    value.type = REG_EXPAND_SZ;
    value.data = StringData(text);
    return true;
  }
  if (data.starts_with("dword:")) {
    data.remove_prefix(6);
    if (data.empty() || data.size() > 8) return false;
    DWORD number = 0;
    for (char c : data) {
      const int digit = HexDigit(c);
      if (digit < 0) return false;
      number = number * 16 + static_cast<DWORD>(digit);
    }
    value.type = REG_DWORD;
    value.data.resize(4);
    std::memcpy(value.data.data(), &number, 4);
    return true;
  }
  if (data.starts_with("hex(")) {
    data.remove_prefix(4);
    const size_t close = data.find("):");
    if (close == std::string_view::npos || close == 0 || close > 8) return false;
    DWORD type = 0;
    for (char c : data.substr(0, close)) {
      const int digit = HexDigit(c);
      if (digit < 0) return false;
      type = type * 16 + static_cast<DWORD>(digit);
    }
    data.remove_prefix(close + 2);
    value.type = type;
    value.data.clear();
    while (!data.empty()) {
      if (data.size() < 2) return false;
      const int high = HexDigit(data[0]);
      const int low = HexDigit(data[1]);
      if (high < 0 || low < 0) return false;
      value.data.push_back(static_cast<BYTE>(high * 16 + low));
      data.remove_prefix(2);
      if (!data.empty()) {
        if (data[0] != ',') return false;
        data.remove_prefix(1);
        if (data.empty()) return false;
      }
    }
    return true;
  }
  return false;
}

std::u16string DecodeKeyPath(std::string_view text, bool& ok) {
  std::string bytes;
  ok = true;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      bytes.push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size()) {
      ok = false;
      return {};
    }
    const int high = HexDigit(text[i + 1]);
    const int low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0) {
      ok = false;
      return {};
    }
    bytes.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return WideFromUtf8(bytes);
}

// Splits a key path on "\" into its non-empty components.
std::vector<std::u16string_view> SplitPath(std::u16string_view path) {
  std::vector<std::u16string_view> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(u'\\', start);
    if (end == std::u16string_view::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// Adds a key and every missing parent below its root.
void AddKeyWithParents(KeyMap& keys, const std::vector<std::u16string_view>& parts) {
  std::u16string path(parts[0]);
  for (size_t i = 1; i < parts.size(); ++i) {
    path += u'\\';
    path += parts[i];
    auto [it, inserted] = keys.try_emplace(Fold(path));
    if (inserted) it->second.path = path;
  }
}

// Parses the text form. Strict parsing rejects the whole text on any bad
// line; lenient parsing (a settings file edited by hand) skips such lines.
bool Parse(std::string_view text, KeyMap& keys, bool strict) {
  keys.clear();
  Key* current = nullptr;
  int lineNumber = 0;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++lineNumber;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    bool ok = false;
    if (line[0] == '[' && line.back() == ']') {
      const std::u16string path = DecodeKeyPath(line.substr(1, line.size() - 2), ok);
      const auto parts = SplitPath(path);
      ok = ok && !parts.empty() && parts.size() <= kMaxKeyDepth && IsRootPath(Fold(parts[0]));
      for (auto part : parts) ok = ok && part.size() <= kMaxKeyNameLength;
      if (ok) {
        AddKeyWithParents(keys, parts);
        std::u16string joined(parts[0]);
        for (size_t i = 1; i < parts.size(); ++i) joined += u"\\" + std::u16string(parts[i]);
        auto [it, inserted] = keys.try_emplace(Fold(joined));
        if (inserted) it->second.path = joined;
        current = &it->second;
      } else {
        current = nullptr;
      }
    } else if (current != nullptr) {
      Value value;
      ok = ParseQuoted(line, value.name) && !line.empty() && line[0] == '=' &&
           value.name.size() <= kMaxValueNameLength && ParseValueData(line.substr(1), value);
      if (ok) {
        const std::u16string folded = Fold(value.name);
        bool replaced = false;
        for (auto& existing : current->values) {
          if (Fold(existing.name) == folded) existing = value, replaced = true;
        }
        if (!replaced) current->values.push_back(std::move(value));
      }
    }
    if (!ok) {
      if (strict) {
        keys.clear();
        return false;
      }
      std::fprintf(stderr, "registry: line %d skipped\n", lineNumber);
    }
  }
  return true;
}

// ---- storage ---------------------------------------------------------------

std::string DefaultFilePath() {
  if (const char* chosen = std::getenv("FOLVANE_REGISTRY_FILE"); chosen != nullptr && chosen[0] == '/') return chosen;
  std::string folder;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/') {
    folder = config;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != 0) {
    folder = std::string(home) + "/.config";
  } else {
    folder = "/tmp";
  }
  return folder + "/folvane/registry.txt";
}

std::string CurrentFilePath(const Registry& registry) {
  return registry.filePath.empty() ? DefaultFilePath() : registry.filePath;
}

void MakeParentFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    ::mkdir(path.substr(0, slash).c_str(), 0700);
  }
}

// Writes the whole text to a temporary file beside the target and renames
// it over the target, so a crash leaves either the old or the new settings.
bool WriteAtomically(const std::string& path, const std::string& text) {
  MakeParentFolders(path);
  const std::string temporary = path + ".tmp." + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  size_t written = 0;
  bool ok = true;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n <= 0) {
      ok = false;
      break;
    }
    written += static_cast<size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

FileStamp StampOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return FileStamp{};
  return FileStamp{info.st_dev, info.st_ino, info.st_size,
                   static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

void ReadFile(Registry& registry) {
  registry.keys.clear();
  const std::string path = CurrentFilePath(registry);
  registry.stamp = StampOf(path);
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return;
  std::string text;
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  std::fclose(file);
  Parse(text, registry.keys, false);
}

// Reads the file on first use, and again whenever someone else changed it,
// so that their changes are seen and kept.
void EnsureLoaded(Registry& registry) {
  if (registry.storage != Storage::kFile) {
    if (!registry.loaded) registry.keys.clear();
    registry.loaded = true;
    return;
  }
  if (registry.loaded && (!registry.journal.empty() || StampOf(CurrentFilePath(registry)) == registry.stamp)) return;
  registry.loaded = true;
  ReadFile(registry);
}

// Makes the pending changes durable. When the file changed since it was
// read, it is read again and the changes are made once more on top of it.
bool Commit(Registry& registry) {
  if (registry.hooks.failWrite) return false;
  if (registry.storage != Storage::kFile) return true;
  const std::string path = CurrentFilePath(registry);
  if (StampOf(path) != registry.stamp) {
    ReadFile(registry);
    for (const auto& change : registry.journal) change();
  }
  if (!WriteAtomically(path, Serialise(registry.keys))) return false;
  registry.stamp = StampOf(path);
  ++registry.hooks.fileWrites;
  return true;
}

bool TakeInjectedFailure(Registry& registry, LONG& code) {
  if (registry.hooks.failNext == 0) return false;
  --registry.hooks.failNext;
  code = registry.hooks.failCode;
  return true;
}

// The key a handle and a subkey name, with its display path; false for a
// bad handle or name.
LONG Resolve(Registry& registry, HKEY key, LPCWSTR subKey, std::vector<std::u16string>& parts) {
  parts.clear();
  if (const char16_t* root = RootName(key); root != nullptr) {
    parts.emplace_back(root);
  } else {
    auto* open = reinterpret_cast<OpenKey*>(key);
    if (key == nullptr || registry.handles.count(open) == 0) return static_cast<LONG>(ERROR_INVALID_HANDLE);
    const auto it = registry.keys.find(open->foldedPath);
    if (it == registry.keys.end()) return kErrorKeyDeleted;
    for (auto part : SplitPath(it->second.path)) parts.emplace_back(part);
  }
  for (auto part : SplitPath(WideView(subKey))) {
    if (part.size() > kMaxKeyNameLength) return kInvalidParameter;
    parts.emplace_back(part);
  }
  if (parts.size() > kMaxKeyDepth) return kInvalidParameter;
  return kSuccess;
}

std::u16string Join(const std::vector<std::u16string>& parts) {
  std::u16string path;
  for (const auto& part : parts) {
    if (!path.empty()) path += u'\\';
    path += part;
  }
  return path;
}

HKEY NewHandle(Registry& registry, std::u16string folded) {
  auto* open = new OpenKey{std::move(folded)};
  registry.handles.insert(open);
  return reinterpret_cast<HKEY>(open);
}

// The key behind a handle, or null with the error code.
Key* KeyOf(Registry& registry, HKEY key, LONG& error, bool forChange) {
  std::vector<std::u16string> parts;
  error = Resolve(registry, key, nullptr, parts);
  if (error != kSuccess) return nullptr;
  if (parts.size() == 1) {
    // Values directly under a root key live in a key of the root's name,
    // made when the first such value is set.
    static Key empty;
    empty.values.clear();
    if (!forChange && registry.keys.count(Fold(parts[0])) == 0) return &empty;
    auto [it, inserted] = registry.keys.try_emplace(Fold(parts[0]));
    if (inserted) it->second.path = parts[0];
    return &it->second;
  }
  const auto it = registry.keys.find(Fold(Join(parts)));
  if (it == registry.keys.end()) {
    error = kErrorKeyDeleted;
    return nullptr;
  }
  return &it->second;
}

// Runs one registry call: locked, loaded, and subject to injected failures.
template <typename Body>
LONG RegistryCall(Body body) {
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  EnsureLoaded(registry);
  LONG error = kSuccess;
  if (TakeInjectedFailure(registry, error)) return error;
  return body(registry);
}

// Applies a change and writes it out; a change that fails, or cannot be
// written, is undone so memory and file never disagree. A change that
// changes nothing writes nothing; inside a batch the write waits for its
// end.
LONG CommitChange(Registry& registry, std::function<LONG()> change) {
  const KeyMap backup = registry.keys;
  LONG error = change();
  if (error != kSuccess) {
    registry.keys = backup;
    return error;
  }
  if (registry.keys == backup) return kSuccess;
  registry.journal.push_back(std::move(change));
  if (registry.batchDepth > 0) return kSuccess;
  if (!Commit(registry)) {
    registry.keys = backup;
    error = static_cast<LONG>(ERROR_WRITE_FAULT);
  }
  registry.journal.clear();
  return error;
}

Value* FindValue(Key& key, std::u16string_view name) {
  for (auto& value : key.values) {
    if (WideEqualsNoCase(value.name, name)) return &value;
  }
  return nullptr;
}

}  // namespace

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, HKEY* result) {
  if (result == nullptr) return kInvalidParameter;
  *result = nullptr;
  return RegistryCall([&](Registry& registry) {
    std::vector<std::u16string> parts;
    const LONG error = Resolve(registry, key, subKey, parts);
    if (error != kSuccess) return error;
    std::u16string folded = Fold(Join(parts));
    if (parts.size() > 1 && registry.keys.count(folded) == 0) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    *result = NewHandle(registry, std::move(folded));
    return kSuccess;
  });
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, SECURITY_ATTRIBUTES*,
                     HKEY* result, DWORD* disposition) {
  if (result == nullptr) return kInvalidParameter;
  *result = nullptr;
  return RegistryCall([&](Registry& registry) {
    std::vector<std::u16string> parts;
    LONG error = Resolve(registry, key, subKey, parts);
    if (error != kSuccess) return error;
    std::u16string folded = Fold(Join(parts));
    const bool exists = parts.size() == 1 || registry.keys.count(folded) != 0;
    if (!exists) {
      error = CommitChange(registry, [&registry, parts] {
        AddKeyWithParents(registry.keys, std::vector<std::u16string_view>(parts.begin(), parts.end()));
        return kSuccess;
      });
      if (error != kSuccess) return error;
    }
    if (disposition != nullptr) *disposition = exists ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    *result = NewHandle(registry, std::move(folded));
    return kSuccess;
  });
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD*, DWORD* type, BYTE* data, DWORD* dataSize) {
  if (data != nullptr && dataSize == nullptr) return kInvalidParameter;
  return RegistryCall([&](Registry& registry) {
    LONG error = kSuccess;
    Key* found = KeyOf(registry, key, error, false);
    if (found == nullptr) return error;
    const Value* value = FindValue(*found, WideView(valueName));
    if (value == nullptr) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    if (type != nullptr) *type = value->type;
    const auto size = static_cast<DWORD>(value->data.size());
    if (dataSize == nullptr) return kSuccess;
    if (data != nullptr && *dataSize < size) {
      *dataSize = size;
      return static_cast<LONG>(ERROR_MORE_DATA);
    }
    if (data != nullptr && size > 0) std::memcpy(data, value->data.data(), size);
    *dataSize = size;
    return kSuccess;
  });
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize) {
  const std::u16string_view name = WideView(valueName);
  if ((data == nullptr && dataSize != 0) || name.size() > kMaxValueNameLength) return kInvalidParameter;
  return RegistryCall([&](Registry& registry) {
    std::vector<BYTE> bytes(data, data + dataSize);
    return CommitChange(registry, [&registry, key, name = std::u16string(name), type, bytes = std::move(bytes)] {
      LONG error = kSuccess;
      Key* found = KeyOf(registry, key, error, true);
      if (found == nullptr) return error;
      Value* value = FindValue(*found, name);
      if (value == nullptr) value = &found->values.emplace_back(Value{name, type, {}});
      value->type = type;
      value->data = bytes;
      return kSuccess;
    });
  });
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  const std::u16string_view name = WideView(valueName);
  return RegistryCall([&](Registry& registry) {
    return CommitChange(registry, [&registry, key, name = std::u16string(name)] {
      LONG error = kSuccess;
      Key* found = KeyOf(registry, key, error, false);
      if (found == nullptr) return error;
      const size_t removed =
          std::erase_if(found->values, [&](const Value& value) { return WideEqualsNoCase(value.name, name); });
      return removed == 0 ? static_cast<LONG>(ERROR_FILE_NOT_FOUND) : kSuccess;
    });
  });
}

LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
  return RegistryCall([&](Registry& registry) {
    std::vector<std::u16string> parts;
    const LONG error = Resolve(registry, key, subKey, parts);
    if (error != kSuccess) return error;
    if (parts.size() < 2) return static_cast<LONG>(ERROR_ACCESS_DENIED);
    const std::u16string folded = Fold(Join(parts));
    if (registry.keys.count(folded) == 0) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    // Subkeys sort right after their parent's path and "\".
    const auto child = registry.keys.lower_bound(folded + u"\\");
    if (child != registry.keys.end() && child->first.starts_with(folded + u"\\")) {
      return static_cast<LONG>(ERROR_ACCESS_DENIED);
    }
    return CommitChange(registry, [&registry, folded] {
      registry.keys.erase(folded);
      return kSuccess;
    });
  });
}

LONG RegCloseKey(HKEY key) {
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  if (RootName(key) != nullptr) return kSuccess;
  auto* open = reinterpret_cast<OpenKey*>(key);
  if (key == nullptr || registry.handles.erase(open) == 0) return static_cast<LONG>(ERROR_INVALID_HANDLE);
  delete open;
  return kSuccess;
}

std::string RegistryFilePath() {
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  return CurrentFilePath(registry);
}

void UseRegistryFile(const std::string& path) {
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  registry.storage = Storage::kFile;
  registry.filePath = path;
  registry.loaded = false;
  registry.keys.clear();
}

void UseInMemoryRegistry() {
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  registry.storage = Storage::kMemory;
  registry.loaded = true;
  registry.keys.clear();
}

bool LoadRegistryText(std::string_view text) {
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  KeyMap keys;
  if (!Parse(text, keys, true)) return false;
  registry.loaded = true;
  if (registry.storage == Storage::kFile) registry.stamp = StampOf(CurrentFilePath(registry));
  registry.keys = std::move(keys);
  return true;
}

std::string SaveRegistryText() {
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  EnsureLoaded(registry);
  return Serialise(registry.keys);
}

RegistryTestHooks& GetRegistryTestHooks() { return TheRegistry().hooks; }

RegistryBatch::RegistryBatch() {
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  if (registry.batchDepth++ == 0) {
    EnsureLoaded(registry);
    registry.batchBackup = registry.keys;
  }
}

RegistryBatch::~RegistryBatch() {
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  if (--registry.batchDepth > 0) return;
  // Changes that undo each other leave nothing to write.
  const bool changed = !registry.journal.empty() && registry.keys != registry.batchBackup;
  if (changed && !Commit(registry)) registry.keys = registry.batchBackup;
  registry.journal.clear();
  registry.batchBackup.clear();
}

}  // namespace platform
