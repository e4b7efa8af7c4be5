// Per-thread message queues and the message calls that read and fill them.
#include "platform/user_queue.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <unordered_map>

#include "platform/kernel.h"
#include "platform/user_endpoint.h"
#include "platform/user_window.h"

namespace platform::user {

void SentMessage::complete(bool delivered, LRESULT result) {
  std::shared_ptr<ThreadQueue> waiter;
  {
    std::lock_guard lock(mutex_);
    if (done_) return;
    if (connection_ >= 0) {
      write_reply(connection_, request_, delivered ? FrameStatus::done : FrameStatus::no_window, result);
    }
    done_ = true;
    delivered_ = delivered;
    result_ = result;
    waiter = std::move(waiter_);
  }
  done_signal_.notify_all();
  if (waiter) waiter->wake();
}

bool SentMessage::finished() {
  std::lock_guard lock(mutex_);
  return done_;
}

void SentMessage::wait() {
  std::unique_lock lock(mutex_);
  done_signal_.wait(lock, [this] { return done_; });
}

bool SentMessage::delivered(LRESULT* result) {
  std::lock_guard lock(mutex_);
  *result = result_;
  return delivered_;
}

ThreadQueue::ThreadQueue(DWORD thread_id)
    : thread_id_(thread_id), wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ThreadQueue::~ThreadQueue() { close(); }

bool ThreadQueue::post(const MSG& msg) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    posted_.push_back(msg);
  }
  wake();
  return true;
}

bool ThreadQueue::send(std::shared_ptr<SentMessage> message) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    sent_.push_back(std::move(message));
  }
  wake();
  return true;
}

void ThreadQueue::post_quit(int exit_code) {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    quit_code_ = exit_code;
  }
  wake();
}

void ThreadQueue::wake() {
  std::uint64_t one = 1;
  // A full counter already means "wake up"; nothing else can fail here.
  [[maybe_unused]] ssize_t n = ::write(wake_.get(), &one, sizeof one);
}

void ThreadQueue::run_sent_messages() {
  for (;;) {
    std::shared_ptr<SentMessage> message;
    {
      std::lock_guard lock(mutex_);
      if (sent_.empty()) return;
      message = std::move(sent_.front());
      sent_.pop_front();
    }
    WindowTarget target;
    if (!find_local_window(message->window, &target) || target.thread_id != thread_id_) {
      message->complete(false, 0);
      continue;
    }
    message->complete(true, target.procedure(message->window, message->message, message->wparam, message->lparam));
  }
}

bool ThreadQueue::take_posted(HWND filter, UINT min, UINT max, bool remove, MSG* out) {
  std::lock_guard lock(mutex_);
  for (auto it = posted_.begin(); it != posted_.end(); ++it) {
    if (filter && it->hwnd != filter) continue;
    if ((min != 0 || max != 0) && (it->message < min || it->message > max)) continue;
    *out = *it;
    if (remove) posted_.erase(it);
    return true;
  }
  return false;
}

bool ThreadQueue::take_quit(bool remove, int* exit_code) {
  std::lock_guard lock(mutex_);
  if (!quit_) return false;
  *exit_code = quit_code_;
  if (remove) quit_ = false;
  return true;
}

void ThreadQueue::drop_posted_for(HWND window) {
  std::lock_guard lock(mutex_);
  std::erase_if(posted_, [window](const MSG& msg) { return msg.hwnd == window; });
}

void ThreadQueue::sleep(int extra_fd) {
  pollfd fds[2] = {{wake_.get(), POLLIN, 0}, {extra_fd, POLLIN, 0}};
  while (::poll(fds, extra_fd >= 0 ? 2 : 1, -1) < 0 && errno == EINTR) {
  }
  std::uint64_t count;
  [[maybe_unused]] ssize_t n = ::read(wake_.get(), &count, sizeof count);
}

void ThreadQueue::close() {
  std::deque<std::shared_ptr<SentMessage>> waiting;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    waiting.swap(sent_);
    posted_.clear();
  }
  for (auto& message : waiting) message->complete(false, 0);
}

namespace {

std::mutex g_queues_mutex;
std::unordered_map<DWORD, std::weak_ptr<ThreadQueue>>& queues() {
  static auto* map = new std::unordered_map<DWORD, std::weak_ptr<ThreadQueue>>;
  return *map;
}

// Owns the calling thread's queue; unregisters and closes it when the thread ends.
struct QueueHolder {
  std::shared_ptr<ThreadQueue> queue;
  ~QueueHolder() {
    if (!queue) return;
    {
      std::lock_guard lock(g_queues_mutex);
      queues().erase(queue->thread_id());
    }
    queue->close();
  }
};
thread_local QueueHolder t_queue;

}  // namespace

std::shared_ptr<ThreadQueue> current_queue() {
  if (!t_queue.queue) {
    t_queue.queue = std::make_shared<ThreadQueue>(GetCurrentThreadId());
    std::lock_guard lock(g_queues_mutex);
    queues()[t_queue.queue->thread_id()] = t_queue.queue;
  }
  return t_queue.queue;
}

std::shared_ptr<ThreadQueue> find_queue(DWORD thread_id) {
  std::lock_guard lock(g_queues_mutex);
  auto it = queues().find(thread_id);
  return it == queues().end() ? nullptr : it->second.lock();
}

bool wait_serving(SentMessage& message, LRESULT* result) {
  auto own = current_queue();
  for (;;) {
    own->run_sent_messages();
    if (message.finished()) break;
    own->sleep();
  }
  return message.delivered(result);
}

void deliver_from_peer(Frame& frame, int connection) {
  HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(frame.header.window));
  WindowTarget target;
  std::shared_ptr<ThreadQueue> queue;
  if (find_local_window(window, &target)) queue = find_queue(target.thread_id);
  if (!queue) {
    write_reply(connection, frame.header, FrameStatus::no_window, 0);
    return;
  }
  auto wparam = static_cast<WPARAM>(frame.header.wparam);
  auto value = static_cast<LPARAM>(frame.header.value);
  if (static_cast<FrameKind>(frame.header.kind) == FrameKind::post) {
    // Acknowledged before it is queued, for the same reason as a send's answer; the lock keeps
    // the sender's next post (which waits for this acknowledgement) from being queued first.
    static std::mutex intake;
    std::lock_guard lock(intake);
    write_reply(connection, frame.header, FrameStatus::done, 0);
    queue->post(MSG{window, frame.header.message, wparam, value, GetTickCount(), {0, 0}, 0});
    return;
  }
  auto message = std::make_shared<SentMessage>(window, frame.header.message, wparam, value, nullptr);
  if (frame.header.message == WM_COPYDATA) {
    message->bytes = std::move(frame.payload);
    message->copy.dwData = static_cast<ULONG_PTR>(frame.header.value);
    message->copy.cbData = frame.header.data_size;
    message->copy.lpData = frame.header.payload_size > 0 ? message->bytes.data() : nullptr;
    message->lparam = reinterpret_cast<LPARAM>(&message->copy);
  }
  message->answer_on(connection, frame.header);
  if (!queue->send(message)) message->complete(false, 0);
  message->wait();
}

}  // namespace platform::user

using platform::user::current_queue;

namespace {

bool valid_filter(HWND window) {
  if (!window) return true;
  platform::user::WindowTarget target;
  if (platform::user::find_local_window(window, &target) && target.thread_id == GetCurrentThreadId()) return true;
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return false;
}

// One pass of GetMessageA/PeekMessageA: sent messages run, then a posted message, WM_QUIT or
// WM_PAINT, in that order of priority.
bool next_message(LPMSG msg, HWND window, UINT min, UINT max, bool remove) {
  auto queue = current_queue();
  queue->run_sent_messages();
  if (queue->take_posted(window, min, max, remove, msg)) return true;
  int exit_code = 0;
  if (queue->take_quit(remove, &exit_code)) {
    *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(exit_code), 0, GetTickCount(), {0, 0}, 0};
    return true;
  }
  bool paint_wanted = (min == 0 && max == 0) || (min <= WM_PAINT && WM_PAINT <= max);
  if (HWND paint = paint_wanted ? platform::user::window_to_paint(GetCurrentThreadId(), window) : nullptr) {
    *msg = MSG{paint, WM_PAINT, 0, 0, GetTickCount(), {0, 0}, 0};
    return true;
  }
  return false;
}

LRESULT dispatch(const MSG* msg) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!msg->hwnd) return 0;
  platform::user::WindowTarget target;
  if (!platform::user::find_local_window(msg->hwnd, &target)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return target.procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT send_message(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  platform::user::WindowTarget target;
  if (!platform::user::find_local_window(window, &target)) {
    LRESULT result = 0;
    platform::user::call_remote(window, platform::user::FrameKind::send, message, wParam, lParam, &result);
    return result;
  }
  if (target.thread_id == GetCurrentThreadId()) return target.procedure(window, message, wParam, lParam);
  auto queue = platform::user::find_queue(target.thread_id);
  auto sent = std::make_shared<platform::user::SentMessage>(window, message, wParam, lParam, current_queue());
  LRESULT result = 0;
  if (!queue || !queue->send(sent) || !platform::user::wait_serving(*sent, &result)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return result;
}

BOOL post_message(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Pointer messages are refused for posting, WM_COPYDATA among them.
  if (message == WM_COPYDATA) {
    SetLastError(ERROR_MESSAGE_SYNC_ONLY);
    return FALSE;
  }
  MSG msg{window, message, wParam, lParam, GetTickCount(), {0, 0}, 0};
  if (!window) return current_queue()->post(msg);
  platform::user::WindowTarget target;
  if (!platform::user::find_local_window(window, &target)) {
    LRESULT ignored = 0;
    return platform::user::call_remote(window, platform::user::FrameKind::post, message, wParam, lParam, &ignored);
  }
  auto queue = platform::user::find_queue(target.thread_id);
  if (!queue || !queue->post(msg)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}

}  // namespace

BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  if (!valid_filter(window)) return -1;
  auto queue = current_queue();
  while (!next_message(msg, window, filterMin, filterMax, true)) queue->sleep();
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!valid_filter(window)) return FALSE;
  return next_message(msg, window, filterMin, filterMax, (removeMessage & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageA(const MSG* msg) { return dispatch(msg); }
LRESULT DispatchMessageW(const MSG* msg) { return dispatch(msg); }

void PostQuitMessage(int exitCode) { current_queue()->post_quit(exitCode); }

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return send_message(window, message, wParam, lParam);
}
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return send_message(window, message, wParam, lParam);
}
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return post_message(window, message, wParam, lParam);
}
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return post_message(window, message, wParam, lParam);
}
