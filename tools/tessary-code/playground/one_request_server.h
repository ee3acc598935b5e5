#pragma once

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <mutex>
#include <set>

namespace tessary::tool {

// An httplib server that answers exactly one request per connection and then closes it, so no
// byte a client sends after a request head (an unread or refused body above all) is ever taken
// as a request of its own. Each connection must deliver its head and body in time and within
// `maxBody` bytes, whatever its transfer encoding, and a client that stops reading is dropped.
class OneRequestServer : public httplib::Server {
 public:
  struct Limits {
    std::chrono::milliseconds headTime;     // from the connection's start to the end of its head
    std::chrono::milliseconds requestTime;  // from the connection's start to the end of its body
    std::chrono::milliseconds writeTimeout;
    std::size_t maxBody;  // bytes after the head, chunk framing included
  };

  explicit OneRequestServer(Limits limits) : limits_(limits) {}

  // After binding: lets this many connections wait to be accepted (httplib asks for 5), so that a
  // burst of connections is not turned away to retry a second later.
  void setBacklog(int connections);
  // Ends every open connection, and any that opens from now on at once.
  void closeConnections();

 private:
  bool process_and_close_socket(int socket) override;
  bool admit(int socket);
  void release(int socket);

  const Limits limits_;
  std::mutex mutex_;
  std::set<int> openSockets_;
  bool closing_ = false;
};

}  // namespace tessary::tool
