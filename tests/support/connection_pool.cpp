#include "support/connection_pool.h"

#include <unistd.h>

namespace qvtest {

ConnectionPool::~ConnectionPool() { Stop(); }

void ConnectionPool::Start(std::function<void()> serve) {
  std::lock_guard lock(mutex_);
  if (stopping_) return;
  threads_.emplace_back(std::move(serve));
}

void ConnectionPool::AcceptConnections(Listener& listener, std::function<void(int fd)> serve) {
  Start([this, &listener, serve = std::move(serve)] {
    for (;;) {
      int fd = listener.Accept();
      if (fd < 0 || stopping_) {
        if (fd >= 0) close(fd);
        return;
      }
      Start([serve, fd] { serve(fd); });
    }
  });
}

void ConnectionPool::Register(const std::shared_ptr<Stream>& stream) {
  std::lock_guard lock(mutex_);
  if (stopping_) stream->Shutdown();
  std::erase_if(streams_, [](const std::weak_ptr<Stream>& s) { return s.expired(); });
  streams_.push_back(stream);
}

void ConnectionPool::Stop() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (auto& weak : streams_) {
      if (auto stream = weak.lock()) stream->Shutdown();
    }
    threads.swap(threads_);
  }
  wake_.notify_all();
  for (auto& t : threads) t.join();
}

bool ConnectionPool::Sleep(std::chrono::milliseconds duration) {
  std::unique_lock lock(mutex_);
  return !wake_.wait_for(lock, duration, [this] { return stopping_.load(); });
}

}  // namespace qvtest
