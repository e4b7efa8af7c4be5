// Per-thread message queues of the user module. A thread's queue is made on its first use
// and ends with the thread; other threads (and the endpoints of the thread's windows) post and
// send into it, and its eventfd wakes the owner, which sleeps in poll() while it waits.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/scoped_handle.h"
#include "platform/user.h"
#include "platform/user_frame.h"

namespace platform::user {

class ThreadQueue;

// A message sent to a window of another thread; the sender waits until the window's thread
// has run the procedure (or found the window gone).
class SentMessage {
 public:
  SentMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam, std::shared_ptr<ThreadQueue> waiter)
      : window(window), message(message), wparam(wparam), lparam(lparam), waiter_(std::move(waiter)) {}

  const HWND window;
  const UINT message;
  const WPARAM wparam;
  LPARAM lparam;
  // WM_COPYDATA from another process: the receiver's own copy, which lparam points at.
  COPYDATASTRUCT copy{};
  std::vector<BYTE> bytes;

  // A message from another process answers its peer from here, on the window's thread, so the
  // answer is out before that thread can return from GetMessageA and end the process.
  void answer_on(int connection, const FrameHeader& request) {
    connection_ = connection;
    request_ = request;
  }

  void complete(bool delivered, LRESULT result);
  bool finished();
  // Blocks without serving any queue (for threads that own no windows).
  void wait();
  // The procedure's result, or nothing when the window was gone.
  bool delivered(LRESULT* result);

 private:
  std::mutex mutex_;
  std::condition_variable done_signal_;
  bool done_ = false;
  bool delivered_ = false;
  LRESULT result_ = 0;
  std::shared_ptr<ThreadQueue> waiter_;
  int connection_ = -1;
  FrameHeader request_{};
};

class ThreadQueue {
 public:
  explicit ThreadQueue(DWORD thread_id);
  ~ThreadQueue();
  ThreadQueue(const ThreadQueue&) = delete;
  ThreadQueue& operator=(const ThreadQueue&) = delete;

  DWORD thread_id() const { return thread_id_; }
  int wake_fd() const { return wake_.get(); }

  // Any thread.
  bool post(const MSG& msg);
  bool send(std::shared_ptr<SentMessage> message);
  void post_quit(int exit_code);
  void wake();

  // The owning thread only.
  void run_sent_messages();
  bool take_posted(HWND filter, UINT min, UINT max, bool remove, MSG* out);
  bool take_quit(bool remove, int* exit_code);
  void drop_posted_for(HWND window);
  // Sleeps until something arrives (or, with extra_fd, until it is readable).
  void sleep(int extra_fd = -1);
  // Refuses further messages and fails the waiting senders; the thread is ending.
  void close();

 private:
  const DWORD thread_id_;
  ScopedFd wake_;
  std::mutex mutex_;
  bool closed_ = false;
  std::deque<MSG> posted_;
  std::deque<std::shared_ptr<SentMessage>> sent_;
  bool quit_ = false;
  int quit_code_ = 0;
};

// The calling thread's queue, made on first use.
std::shared_ptr<ThreadQueue> current_queue();
// The queue of a thread of this process, or null when it has none.
std::shared_ptr<ThreadQueue> find_queue(DWORD thread_id);

// Waits for a message sent to another thread of this process, serving the calling thread's own
// incoming sent messages meanwhile (so two threads sending to each other do not deadlock).
bool wait_serving(SentMessage& message, LRESULT* result);

// Hands a request frame that a peer process sent to the window it names and answers the peer
// on its connection; for a send, returns once the procedure has run.
void deliver_from_peer(Frame& frame, int connection);

}  // namespace platform::user
