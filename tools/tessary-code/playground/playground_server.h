#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "event_hub.h"
#include "playground_session.h"

namespace httplib {
struct Request;
}

namespace tessary::tool {

class OneRequestServer;

// The server cannot run: its port cannot be had, or the system gives no secret for the page.
class ServerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The playground's HTTP side: the page and its script, the page's actions, texture uploads and
// downloads, and the server-sent events that carry each build and state to the page.
//
// Requests are answered on the server's own threads, but everything they ask of the session is
// handed to the main queue and waited for, so the session only ever runs on the main thread.
//
// Guards: it listens on 127.0.0.1 only; a request whose Host is not this server's own address, or
// whose Origin (or Sec-Fetch-Site) shows another site, is refused, so neither a page of another
// site nor a name that resolves to this machine (DNS rebinding) can use it. Changes must come from
// the page itself: its origin, and the secret of this run that only its HTML carries. Each
// connection carries one request and is closed after the answer, so nothing a refused request
// sends along is ever read as a request. Heads and bodies are limited in size and time, event
// streams in number, and every connection has a thread of its own, so a slow or idle client
// cannot hold up the page.
class PlaygroundServer {
 public:
  PlaygroundServer(std::shared_ptr<PlaygroundSession> session, EventHub& events);
  ~PlaygroundServer();
  PlaygroundServer(const PlaygroundServer&) = delete;
  PlaygroundServer& operator=(const PlaygroundServer&) = delete;

  // Binds to 127.0.0.1 at `port`, or at a free port when it is 0; gives the port. Throws
  // ServerError when the port cannot be had.
  int bind(int port);
  // Answers requests on a thread of its own until stop().
  void start();
  // Stops taking requests. The main queue must keep being drained until hasStopped(), since
  // requests in progress wait for it.
  void stop();
  bool hasStopped() const { return stopped_; }
  void join();

 private:
  struct Refusal {
    int status;
    const char* reason;
  };

  void route();
  // Why a request is refused, judged from its head alone.
  std::optional<Refusal> refusal(const httplib::Request& request) const;

  std::shared_ptr<PlaygroundSession> session_;
  EventHub& events_;
  std::unique_ptr<OneRequestServer> server_;
  const std::string token_;
  std::string page_;
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> stopped_{false};
};

}  // namespace tessary::tool
