#pragma once
// Reference tools (qpdf, poppler-utils, mupdf-tools, jbig2dec, gs) give the
// same answer for the same input, and asking them costs much of a corpus
// run. Like the compiler cache, their answers are kept between runs on a
// machine: keyed by the command, the tool program's identity (size, time
// and inode of the installed file) and the bytes of every file the command
// names, so an upgraded tool or a changed file asks the tool again.
//
// Only commands that write nothing but their standard output are kept:
// a reference tool with options, numbers, plain words and existing files
// as arguments, optionally under `timeout N`, with stderr dropped or
// merged and a pipe into text filters. Anything else (an output file or
// folder, a redirect into a file, shell syntax) always runs.
//
// The cache lives in $FOLVANE_REFERENCE_CACHE, else
// $XDG_CACHE_HOME/folvane-references, else ~/.cache/folvane-references;
// FOLVANE_REFERENCE_CACHE=off turns it off.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace pdftest {
namespace reference_cache {

struct Answer {
  std::string out;
  int status = -1;
};

// The shell words of `command`, or nothing when it uses syntax beyond
// words, single quotes and backslash escapes.
inline std::optional<std::vector<std::string>> ShellWords(const std::string& command) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  for (size_t i = 0; i < command.size(); ++i) {
    const char c = command[i];
    if (c == '\'') {
      const size_t end = command.find('\'', i + 1);
      if (end == std::string::npos) return std::nullopt;
      word += command.substr(i + 1, end - i - 1);
      inWord = true;
      i = end;
    } else if (c == '\\') {
      if (i + 1 >= command.size()) return std::nullopt;
      word += command[++i];
      inWord = true;
    } else if (c == ' ' || c == '\t') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else if (c == '"' || c == '$' || c == '`' || c == ';' || (c == '&' && !(i > 0 && command[i - 1] == '>')) ||
               c == '<' || c == '(' || c == ')' || c == '*' || c == '?') {
      return std::nullopt;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

inline bool IsReferenceTool(const std::string& name) {
  static const std::set<std::string> kTools = {"qpdf",      "mutool",   "pdffonts", "pdfinfo",  "pdfimages",
                                               "pdftotext", "pdftoppm", "pdftocairo", "jbig2dec", "gs"};
  return kTools.count(name) != 0;
}

inline bool IsTextFilter(const std::string& name) {
  static const std::set<std::string> kFilters = {"grep", "wc", "head", "tail", "sort", "cut", "tr", "uniq"};
  return kFilters.count(name) != 0;
}

// Two 64-bit hashes of a byte run, chained from `seed`.
inline void HashBytes(const char* data, size_t size, uint64_t& a, uint64_t& b) {
  for (size_t i = 0; i < size; ++i) {
    const uint8_t byte = static_cast<uint8_t>(data[i]);
    a = (a ^ byte) * 0x100000001b3ull;
    b = (b + byte + 1) * 0x9e3779b97f4a7c15ull;
    b ^= b >> 29;
  }
}

inline bool HashFile(const std::string& path, uint64_t& a, uint64_t& b) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  char buffer[1 << 16];
  while (in) {
    in.read(buffer, sizeof(buffer));
    HashBytes(buffer, static_cast<size_t>(in.gcount()), a, b);
  }
  return true;
}

// The installed program `name` as found on PATH: "size:mtime:inode".
inline std::optional<std::string> ToolIdentity(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return std::nullopt;
  std::stringstream folders(path);
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    struct stat info {};
    const std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
    if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0111) != 0) {
      return std::to_string(info.st_size) + ":" + std::to_string(info.st_mtime) + ":" +
             std::to_string(info.st_ino);
    }
  }
  return std::nullopt;
}

inline bool IsExistingFile(const std::string& word) {
  struct stat info {};
  return ::stat(word.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Words that name no file and cannot name an output: options, numbers and
// plain words (a mutool subcommand, an object selector).
inline bool IsPlainWord(const std::string& word) {
  if (word.empty() || word.find('/') != std::string::npos) return false;
  return word != "-o" && word.rfind("-o", 0) != 0 && word.rfind("--output", 0) != 0;
}

inline bool IsDroppedStream(const std::string& word) {
  return word == "2>/dev/null" || word == "2>&1" || word == ">/dev/null";
}

// The cache key of `command`, or nothing when it is not kept.
inline std::optional<std::string> KeyOf(const std::string& command) {
  const std::optional<std::vector<std::string>> words = ShellWords(command);
  if (!words || words->empty()) return std::nullopt;
  size_t at = 0;
  if ((*words)[0] == "timeout") {
    if (words->size() < 3) return std::nullopt;
    at = 2;
  }
  const std::string& tool = (*words)[at];
  if (!IsReferenceTool(tool)) return std::nullopt;
  const std::optional<std::string> identity = ToolIdentity(tool);
  if (!identity) return std::nullopt;
  uint64_t a = 0xcbf29ce484222325ull;
  uint64_t b = 0x84222325cbf29ce4ull;
  HashBytes(command.data(), command.size(), a, b);
  HashBytes(identity->data(), identity->size(), a, b);
  bool piped = false;
  for (size_t i = at + 1; i < words->size(); ++i) {
    const std::string& word = (*words)[i];
    if (word == "|") {
      if (i + 1 >= words->size() || !IsTextFilter((*words)[i + 1])) return std::nullopt;
      piped = true;
      ++i;
      continue;
    }
    if (word.find('>') != std::string::npos) {
      if (!IsDroppedStream(word)) return std::nullopt;
      continue;
    }
    if (piped) continue;  // a filter's pattern or options
    if (IsExistingFile(word)) {
      if (!HashFile(word, a, b)) return std::nullopt;
    } else if (!IsPlainWord(word)) {
      return std::nullopt;
    }
  }
  char key[40];
  std::snprintf(key, sizeof(key), "%016llx%016llx", static_cast<unsigned long long>(a),
                static_cast<unsigned long long>(b));
  return std::string(key);
}

inline std::optional<std::string> Folder() {
  if (const char* chosen = std::getenv("FOLVANE_REFERENCE_CACHE")) {
    if (std::string(chosen) == "off" || *chosen == '\0') return std::nullopt;
    return std::string(chosen);
  }
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && *xdg != '\0') {
    return std::string(xdg) + "/folvane-references";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return std::string(home) + "/.cache/folvane-references";
  }
  return std::nullopt;
}

inline std::optional<Answer> Load(const std::string& folder, const std::string& key) {
  std::ifstream in(folder + "/" + key, std::ios::binary);
  if (!in) return std::nullopt;
  Answer answer;
  std::string status;
  if (!std::getline(in, status) || status.rfind("status ", 0) != 0) return std::nullopt;
  answer.status = std::atoi(status.c_str() + 7);
  std::ostringstream rest;
  rest << in.rdbuf();
  answer.out = rest.str();
  return answer;
}

inline void Store(const std::string& folder, const std::string& key, const Answer& answer) {
  // Written whole under a private name, then renamed: tests running side
  // by side never read half an answer.
  std::string made;
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    made = folder.substr(0, slash);
    ::mkdir(made.c_str(), 0755);
    if (slash == std::string::npos) break;
  }
  const std::string temporary = folder + "/." + key + "." + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return;
    out << "status " << answer.status << "\n" << answer.out;
    if (!out) return;
  }
  std::rename(temporary.c_str(), (folder + "/" + key).c_str());
}

// Whether an answer may be kept: a normal exit, not a time-out or a kill,
// which depend on the machine's load rather than on the input.
inline bool Keepable(int status) { return status >= 0 && status != 124 && status != 137 && status < 128; }

}  // namespace reference_cache
}  // namespace pdftest
