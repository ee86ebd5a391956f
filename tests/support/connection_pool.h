// The threads of a loopback test server: one per accepted connection, all stopped and joined when
// the server goes away.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "support/loopback_stream.h"

namespace qvtest {

class ConnectionPool {
 public:
  ConnectionPool() = default;
  ~ConnectionPool();
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;

  // Runs `serve` on its own thread; the pool shuts the streams it registers down on Stop().
  void Start(std::function<void()> serve);
  // Accepts connections on `listener` on a thread of its own, serving each on a new thread, until
  // the listener is closed.
  void AcceptConnections(Listener& listener, std::function<void(int fd)> serve);
  void Register(const std::shared_ptr<Stream>& stream);
  // Shuts every registered stream down, wakes sleepers, joins every thread.
  void Stop();
  bool stopping() const { return stopping_; }
  // Sleeps unless the pool stops first; false when it stopped.
  bool Sleep(std::chrono::milliseconds duration);

 private:
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<std::thread> threads_;
  std::vector<std::weak_ptr<Stream>> streams_;
};

}  // namespace qvtest
