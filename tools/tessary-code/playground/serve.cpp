#include "serve.h"

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "event_hub.h"
#include "playground_server.h"
#include "playground_session.h"
#include "tessary/platform/dispatch_queue.h"
#include "tessary/store/load_effect.h"

namespace tessary::tool {

namespace {

using platform::DispatchQueue;

// Interrupts are taken by one thread with sigwait rather than by a handler, so that stopping is
// an ordinary block on the main queue. Broken connections report errors instead of signals.
sigset_t blockedSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  return signals;
}

void waitForInterrupt(sigset_t signals) {
  sigdelset(&signals, SIGPIPE);
  int signal = 0;
  sigwait(&signals, &signal);
}

}  // namespace

void runServe(const ServeOptions& options) {
  // Before any thread starts, so that every thread inherits the mask.
  const sigset_t signals = blockedSignals();

  EventHub events;
  auto session = std::make_shared<PlaygroundSession>(
      store::loadEffect(options.effect), options.effect, std::filesystem::current_path(),
      options.platform, events);
  PlaygroundServer server(session, events);
  const int port = server.bind(options.port);
  server.start();
  session->start();

  std::printf("Playground: http://127.0.0.1:%d/\n", port);
  if (options.effect) {
    std::printf("Every change is saved to %s. Press Ctrl-C to stop.\n",
                options.effect->string().c_str());
  } else {
    std::printf("The demo effect is kept in memory until you save it. Press Ctrl-C to stop.\n");
  }
  std::fflush(stdout);

  bool stopping = false;
  std::thread interruptWaiter([signals, &stopping] {
    waitForInterrupt(signals);
    DispatchQueue::main().async([&stopping] { stopping = true; });
  });
  const DispatchQueue main = DispatchQueue::main();
  while (!main.runUntil([&stopping] { return stopping; }, std::chrono::hours(1))) {
  }
  interruptWaiter.join();

  session->flushPendingSave();
  server.stop();
  // Requests still being answered wait for the main queue.
  while (!main.runUntil([&server] { return server.hasStopped(); }, std::chrono::seconds(1))) {
  }
  server.join();
}

}  // namespace tessary::tool
