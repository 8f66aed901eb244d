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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
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

// Empty when there is no private runtime folder.
std::string WindowsFolder() {
  const std::string runtime = RuntimeFolder();
  return runtime.empty() ? runtime : runtime + "/windows";
}

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

 public:
  bool AtEnd() const { return offset_ == data_.size(); }
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

// Only a process of the same user may talk to us.
bool SameUser(int client) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return ::getsockopt(client, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
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
  if (!SameUser(socket)) {
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

// What another process may send to our windows: the hand-over of a command
// line (WM_COPYDATA, its bytes travel with the request) and the zoom
// messages, whose parameters are plain numbers. Anything else could carry a
// pointer that means nothing here, so it is refused.
constexpr UINT kZoomQuery = WM_USER;
constexpr UINT kZoomSet = WM_USER + 1;

bool CanCross(UINT message) { return message == WM_COPYDATA || message == kZoomQuery || message == kZoomSet; }

// A request of another process that is waiting for the message loop: its
// connection stays open until the answer is written.
struct PendingRequest {
  int client = -1;
  Request kind = kFind;
  HWND window = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  uintptr_t dwData = 0;
  std::vector<uint8_t> bytes;  // WM_COPYDATA's data, copied out of the socket
};

// A connection whose request is still being read.
struct Incoming {
  int client = -1;
  std::vector<uint8_t> data;
};

// At most this many connections are read at once; the oldest gives way.
constexpr size_t kMaxIncoming = 16;
// At most this many requests wait for the message loop.
constexpr size_t kMaxPending = 64;

std::deque<std::unique_ptr<Incoming>>& IncomingConnections() {
  static auto* connections = new std::deque<std::unique_ptr<Incoming>>();
  return *connections;
}

std::deque<PendingRequest>& PendingRequests() {
  static auto* pending = new std::deque<PendingRequest>();
  return *pending;
}

void Answer(int client, int64_t answer) {
  WriteAll(client, &answer, sizeof answer);
  ::close(client);
}

// One of our top-level windows (the only ones another process can find)
// that is not being destroyed.
HWND OwnWindow(uint64_t handle) {
  if (handle == 0 || handle > UINTPTR_MAX) return nullptr;
  const HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
  const WindowRecord* record = LookupWindow(window);
  if (record == nullptr || record->remote != nullptr || record->destroying || record->parent != nullptr) {
    return nullptr;
  }
  return window;
}

// Checks a complete request. Finding a window is answered at once (it only
// looks); a message or an activation waits for the message loop, so that
// nothing of the application runs while it merely checks its queue.
void Accept(int client, uint32_t kind, const std::vector<uint8_t>& payload) {
  Reader reader(payload);
  PendingRequest request;
  request.client = client;
  switch (kind) {
    case kFind: {
      uint8_t hasClass = 0, hasTitle = 0;
      std::u16string className, title;
      HWND found = nullptr;
      if (reader.Get(hasClass) && reader.Get(hasTitle) && reader.GetText(className) && reader.GetText(title) &&
          reader.AtEnd()) {
        found = FindLocalWindow(hasClass ? className.c_str() : nullptr, hasTitle ? title.c_str() : nullptr);
      }
      Answer(client, static_cast<int64_t>(reinterpret_cast<uintptr_t>(found)));
      return;
    }
    case kSend: {
      uint64_t handle = 0, wParam = 0, dwData = 0;
      uint32_t message = 0;
      int64_t lParam = 0;
      uint8_t hasCopy = 0;
      if (!reader.Get(handle) || !reader.Get(message) || !reader.Get(wParam) || !reader.Get(lParam) ||
          !reader.Get(hasCopy) || !reader.Get(dwData) || !reader.GetBytes(request.bytes) || !reader.AtEnd()) {
        break;
      }
      request.window = OwnWindow(handle);
      if (request.window == nullptr || !CanCross(message)) break;
      if (message == WM_COPYDATA) {
        // A terminated UTF-16 text is all the hand-over carries: an even
        // byte count, and no parameter that would be a pointer.
        if (hasCopy != 1 || wParam != 0 || lParam != 0 || request.bytes.size() % 2 != 0) break;
      } else if (hasCopy != 0 || !request.bytes.empty() || lParam != 0 || wParam > UINT32_MAX ||
                 (message == kZoomQuery && wParam != 0)) {
        break;
      }
      request.kind = kSend;
      request.message = message;
      request.wParam = static_cast<WPARAM>(wParam);
      request.dwData = static_cast<uintptr_t>(dwData);
      if (PendingRequests().size() >= kMaxPending) break;
      PendingRequests().push_back(std::move(request));
      return;
    }
    case kForeground: {
      uint64_t handle = 0;
      if (!reader.Get(handle) || !reader.AtEnd()) break;
      request.window = OwnWindow(handle);
      if (request.window == nullptr || PendingRequests().size() >= kMaxPending) break;
      request.kind = kForeground;
      PendingRequests().push_back(std::move(request));
      return;
    }
    default:
      break;
  }
  Answer(client, 0);
}

void DropIncoming(Incoming* connection, bool closeClient) {
  auto& connections = IncomingConnections();
  for (auto it = connections.begin(); it != connections.end(); ++it) {
    if (it->get() != connection) continue;
    UnwatchDescriptor(connection->client);
    if (closeClient) ::close(connection->client);
    connections.erase(it);
    return;
  }
}

// Reads what a connection has sent so far; a complete request is checked
// and the connection handed on, a broken or oversized one is closed.
void OnConnectionReadable(void* user) {
  auto* connection = static_cast<Incoming*>(user);
  uint8_t buffer[4096];
  for (;;) {
    const ssize_t n = ::recv(connection->client, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (n <= 0) {
      DropIncoming(connection, true);
      return;
    }
    connection->data.insert(connection->data.end(), buffer, buffer + n);
    if (connection->data.size() < 8) continue;
    uint32_t header[2];
    std::memcpy(header, connection->data.data(), sizeof header);
    if (header[1] > kMaxPayload || connection->data.size() > 8 + size_t{header[1]}) {
      DropIncoming(connection, true);
      return;
    }
    if (connection->data.size() == 8 + size_t{header[1]}) {
      const int client = connection->client;
      const std::vector<uint8_t> payload(connection->data.begin() + 8, connection->data.end());
      DropIncoming(connection, false);
      Accept(client, header[0], payload);
      return;
    }
  }
}

void OnIncoming(void*) {
  for (;;) {
    const int client = ::accept4(g_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (client < 0) return;
    if (!SameUser(client)) {
      ::close(client);
      continue;
    }
    SetTimeouts(client, kRequestSeconds);
    auto& connections = IncomingConnections();
    if (connections.size() >= kMaxIncoming) DropIncoming(connections.front().get(), true);
    connections.push_back(std::make_unique<Incoming>(Incoming{client, {}}));
    WatchDescriptor(client, OnConnectionReadable, connections.back().get());
  }
}

void RemoveSocket() {
  if (!g_socketPath.empty()) ::unlink(g_socketPath.c_str());
}

}  // namespace

void PublishWindows() {
  if (g_listener >= 0) return;
  const std::string folder = WindowsFolder();
  if (folder.empty() || !MakePrivateFolder(folder)) {
    std::fprintf(stderr, "instance link: %s is not a private folder of this user\n", folder.c_str());
    return;
  }
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

bool HasCrossProcessRequest() { return !PendingRequests().empty(); }

bool ServeCrossProcessRequest() {
  auto& pending = PendingRequests();
  if (pending.empty()) return false;
  PendingRequest request = std::move(pending.front());
  pending.pop_front();
  int64_t answer = 0;
  // The window may have gone while the request waited.
  if (IsWindow(request.window) && LookupWindow(request.window)->remote == nullptr) {
    if (request.kind == kForeground) {
      answer = SetForegroundWindow(request.window);
    } else if (request.message == WM_COPYDATA) {
      COPYDATASTRUCT copy{request.dwData, static_cast<DWORD>(request.bytes.size()),
                          request.bytes.empty() ? nullptr : request.bytes.data()};
      answer = SendMessageW(request.window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
    } else {
      answer = SendMessageW(request.window, request.message, request.wParam, 0);
    }
  }
  Answer(request.client, answer);
  return true;
}

HWND FindRemoteWindow(LPCWSTR className, LPCWSTR windowName) {
  const std::string folder = WindowsFolder();
  if (folder.empty() || !MakePrivateFolder(folder)) return nullptr;
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
  if (!CanCross(message)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
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
