#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "event_hub.h"
#include "playground_session.h"

namespace httplib {
class Server;
}

namespace tessary::tool {

// The playground's HTTP side: the page and its script, the page's actions, texture uploads and
// downloads, and the server-sent events that carry each build and state to the page.
//
// Requests are answered on the server's own threads, but everything they ask of the session is
// handed to the main queue and waited for, so the session only ever runs on the main thread.
//
// Guards: it listens on 127.0.0.1 only; a request whose Host is not this server's own address, or
// whose Origin (or Sec-Fetch-Site) shows another site, is refused, so neither a page of another
// site nor a name that resolves to this machine (DNS rebinding) can use it; actions must be JSON
// from the page itself; request bodies are limited in size.
class PlaygroundServer {
 public:
  PlaygroundServer(std::shared_ptr<PlaygroundSession> session, EventHub& events);
  ~PlaygroundServer();
  PlaygroundServer(const PlaygroundServer&) = delete;
  PlaygroundServer& operator=(const PlaygroundServer&) = delete;

  // Binds to 127.0.0.1 at `port`, or at a free port when it is 0; gives the port. Throws
  // CommandError when the port cannot be had.
  int bind(int port);
  // Answers requests on a thread of its own until stop().
  void start();
  // Stops taking requests. The main queue must keep being drained until hasStopped(), since
  // requests in progress wait for it.
  void stop();
  bool hasStopped() const { return stopped_; }
  void join();

 private:
  void route();

  std::shared_ptr<PlaygroundSession> session_;
  EventHub& events_;
  std::unique_ptr<httplib::Server> server_;
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> stopped_{false};
};

}  // namespace tessary::tool
