// The link between processes of one user: every process that shows a
// top-level window listens on a local socket in the runtime folder, so that
// another process can find its windows, bring them forward and send them
// messages (a second instance hands its command line over this way).
#include <dirent.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Kernel.h"
#include "platform/Window.h"
#include "platform/WindowSystem.h"
#include "platform/WideText.h"

namespace platform {
namespace {

enum Request : uint32_t { kFind = 1, kSend = 2, kForeground = 3 };

// A request carries at most this much (a command line, a few names).
constexpr uint32_t kMaxPayload = 1 << 20;
// How long a sender waits for the other process to answer.
constexpr int kReplySeconds = 10;
constexpr int kRequestSeconds = 2;

int g_listener = -1;
std::string g_socketPath;

std::string WindowsFolder() { return RuntimeFolder() + "/windows"; }

class Writer {
 public:
  template <typename T>
  void Put(T value) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&value);
    data_.insert(data_.end(), bytes, bytes + sizeof value);
  }
  void PutText(std::u16string_view text) {
    Put(static_cast<uint32_t>(text.size()));
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    data_.insert(data_.end(), bytes, bytes + text.size() * 2);
  }
  void PutBytes(const void* bytes, uint32_t size) {
    Put(size);
    if (size > 0) data_.insert(data_.end(), static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + size);
  }
  const std::vector<uint8_t>& data() const { return data_; }

 private:
  std::vector<uint8_t> data_;
};

class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& data) : data_(data) {}
  template <typename T>
  bool Get(T& value) {
    if (data_.size() - offset_ < sizeof value) return false;
    std::memcpy(&value, data_.data() + offset_, sizeof value);
    offset_ += sizeof value;
    return true;
  }
  bool GetText(std::u16string& text) {
    uint32_t length = 0;
    if (!Get(length) || length > (data_.size() - offset_) / 2) return false;
    text.resize(length);
    std::memcpy(text.data(), data_.data() + offset_, length * size_t{2});
    offset_ += length * size_t{2};
    return true;
  }
  bool GetBytes(std::vector<uint8_t>& bytes) {
    uint32_t size = 0;
    if (!Get(size) || size > data_.size() - offset_) return false;
    bytes.assign(data_.begin() + static_cast<std::ptrdiff_t>(offset_),
                 data_.begin() + static_cast<std::ptrdiff_t>(offset_ + size));
    offset_ += size;
    return true;
  }

 private:
  const std::vector<uint8_t>& data_;
  size_t offset_ = 0;
};

// Moves all bytes, retrying after interruptions and short transfers.
template <typename Byte, typename Transfer>
bool TransferAll(Byte* bytes, size_t size, Transfer transfer) {
  while (size > 0) {
    const ssize_t n = transfer(bytes, size);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      return false;
    }
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool WriteAll(int socket, const void* data, size_t size) {
  // MSG_NOSIGNAL: a peer that gave up waiting must not kill us.
  return TransferAll(static_cast<const uint8_t*>(data), size,
                     [&](const uint8_t* bytes, size_t count) { return ::send(socket, bytes, count, MSG_NOSIGNAL); });
}

bool ReadAll(int socket, void* data, size_t size) {
  return TransferAll(static_cast<uint8_t*>(data), size,
                     [&](uint8_t* bytes, size_t count) { return ::recv(socket, bytes, count, 0); });
}

void SetTimeouts(int socket, int seconds) {
  timeval timeout{seconds, 0};
  ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

bool FillAddress(const std::string& path, sockaddr_un& address) {
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

// Sends one request and reads the 8-byte answer. A socket nobody listens on
// any more (its process ended) is removed.
bool Exchange(const std::string& path, Request kind, const Writer& payload, int64_t& answer) {
  sockaddr_un address;
  if (!FillAddress(path, address)) return false;
  const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket < 0) return false;
  SetTimeouts(socket, kReplySeconds);
  if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (errno == ECONNREFUSED) ::unlink(path.c_str());
    ::close(socket);
    return false;
  }
  const uint32_t header[2] = {kind, static_cast<uint32_t>(payload.data().size())};
  const bool ok = WriteAll(socket, header, sizeof header) &&
                  WriteAll(socket, payload.data().data(), payload.data().size()) &&
                  ReadAll(socket, &answer, sizeof answer);
  ::close(socket);
  return ok;
}

// Only messages whose parameters are plain numbers, and WM_COPYDATA whose
// data travels with it, can cross to another process.
bool CanCross(UINT message) {
  return message == WM_NULL || message == WM_CLOSE || message == WM_COPYDATA || message >= WM_USER;
}

int64_t Serve(Request kind, const std::vector<uint8_t>& payload) {
  Reader reader(payload);
  switch (kind) {
    case kFind: {
      uint8_t hasClass = 0, hasTitle = 0;
      std::u16string className, title;
      if (!reader.Get(hasClass) || !reader.Get(hasTitle) || !reader.GetText(className) || !reader.GetText(title)) {
        return 0;
      }
      const HWND found = FindLocalWindow(hasClass ? className.c_str() : nullptr, hasTitle ? title.c_str() : nullptr);
      return static_cast<int64_t>(reinterpret_cast<uintptr_t>(found));
    }
    case kSend: {
      uint64_t handle = 0, wParam = 0, dwData = 0;
      uint32_t message = 0;
      int64_t lParam = 0;
      uint8_t hasCopy = 0;
      std::vector<uint8_t> bytes;
      if (!reader.Get(handle) || !reader.Get(message) || !reader.Get(wParam) || !reader.Get(lParam) ||
          !reader.Get(hasCopy) || !reader.Get(dwData) || !reader.GetBytes(bytes)) {
        return 0;
      }
      const HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
      const WindowRecord* record = LookupWindow(window);
      if (record == nullptr || record->remote != nullptr || !CanCross(message)) return 0;
      if (message != WM_COPYDATA) return SendMessageW(window, message, wParam, static_cast<LPARAM>(lParam));
      if (!hasCopy) return 0;
      COPYDATASTRUCT copy{dwData, static_cast<DWORD>(bytes.size()), bytes.empty() ? nullptr : bytes.data()};
      return SendMessageW(window, WM_COPYDATA, wParam, reinterpret_cast<LPARAM>(&copy));
    }
    case kForeground: {
      uint64_t handle = 0;
      if (!reader.Get(handle)) return 0;
      const HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
      const WindowRecord* record = LookupWindow(window);
      if (record == nullptr || record->remote != nullptr) return 0;
      return SetForegroundWindow(window);
    }
  }
  return 0;
}

void OnIncoming(void*) {
  for (;;) {
    const int client = ::accept4(g_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return;
    SetTimeouts(client, kRequestSeconds);
    uint32_t header[2] = {};
    std::vector<uint8_t> payload;
    if (ReadAll(client, header, sizeof header) && header[1] <= kMaxPayload) {
      payload.resize(header[1]);
      if (ReadAll(client, payload.data(), payload.size())) {
        const int64_t answer = Serve(static_cast<Request>(header[0]), payload);
        WriteAll(client, &answer, sizeof answer);
      }
    }
    ::close(client);
  }
}

void RemoveSocket() {
  if (!g_socketPath.empty()) ::unlink(g_socketPath.c_str());
}

}  // namespace

void PublishWindows() {
  if (g_listener >= 0) return;
  const std::string folder = WindowsFolder();
  ::mkdir(folder.c_str(), 0700);
  const std::string path = folder + "/" + std::to_string(::getpid()) + ".sock";
  sockaddr_un address;
  if (!FillAddress(path, address)) return;
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listener < 0) return;
  ::unlink(path.c_str());
  if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 8) != 0) {
    ::close(listener);
    return;
  }
  g_listener = listener;
  g_socketPath = path;
  std::atexit(RemoveSocket);
  WatchDescriptor(listener, OnIncoming, nullptr);
}

HWND FindRemoteWindow(LPCWSTR className, LPCWSTR windowName) {
  const std::string folder = WindowsFolder();
  DIR* listing = ::opendir(folder.c_str());
  if (listing == nullptr) return nullptr;
  std::vector<std::string> sockets;
  while (dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    if (name.size() > 5 && name.ends_with(".sock") && folder + "/" + name != g_socketPath) {
      sockets.push_back(folder + "/" + name);
    }
  }
  ::closedir(listing);
  Writer request;
  request.Put(static_cast<uint8_t>(className != nullptr));
  request.Put(static_cast<uint8_t>(windowName != nullptr));
  request.PutText(WideView(className));
  request.PutText(WideView(windowName));
  for (const auto& path : sockets) {
    int64_t answer = 0;
    if (Exchange(path, kFind, request, answer) && answer != 0) {
      return MakeRemoteWindow(path, static_cast<uint64_t>(answer));
    }
  }
  return nullptr;
}

LRESULT SendRemoteMessage(const RemoteWindow& remote, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!CanCross(message)) return 0;
  Writer request;
  request.Put(remote.handle);
  request.Put(static_cast<uint32_t>(message));
  request.Put(static_cast<uint64_t>(wParam));
  const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  const bool hasCopy = message == WM_COPYDATA && copy != nullptr;
  request.Put(static_cast<int64_t>(message == WM_COPYDATA ? 0 : lParam));
  request.Put(static_cast<uint8_t>(hasCopy));
  request.Put(static_cast<uint64_t>(hasCopy ? copy->dwData : 0));
  if (hasCopy && copy->cbData > kMaxPayload / 2) return 0;
  request.PutBytes(hasCopy ? copy->lpData : nullptr, hasCopy && copy->lpData != nullptr ? copy->cbData : 0);
  int64_t answer = 0;
  return Exchange(remote.socketPath, kSend, request, answer) ? static_cast<LRESULT>(answer) : 0;
}

BOOL SetRemoteForeground(const RemoteWindow& remote) {
  Writer request;
  request.Put(remote.handle);
  int64_t answer = 0;
  return Exchange(remote.socketPath, kForeground, request, answer) && answer != 0 ? TRUE : FALSE;
}

}  // namespace platform
