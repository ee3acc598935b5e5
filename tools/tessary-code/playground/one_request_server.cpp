#include "one_request_server.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <limits>

#include "deadline_socket_stream.h"

namespace tessary::tool {

namespace {

// How long the rest of a body a client still sends after its answer (a refused upload, say) is
// read and dropped before the connection closes: closing with unread bytes resets the
// connection, which can discard the answer before the client reads it.
constexpr std::chrono::seconds kLinger{1};

}  // namespace

void OneRequestServer::setBacklog(int connections) {
  ::listen(svr_sock_, connections);
}

void OneRequestServer::closeConnections() {
  std::lock_guard lock(mutex_);
  closing_ = true;
  for (const int socket : openSockets_) ::shutdown(socket, SHUT_RDWR);
}

bool OneRequestServer::admit(int socket) {
  std::lock_guard lock(mutex_);
  if (closing_) return false;
  openSockets_.insert(socket);
  return true;
}

void OneRequestServer::release(int socket) {
  std::lock_guard lock(mutex_);
  openSockets_.erase(socket);
  ::close(socket);
}

bool OneRequestServer::process_and_close_socket(int socket) {
  if (!admit(socket)) {
    ::close(socket);
    return false;
  }
  const int noDelay = 1;
  ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);

  using Clock = DeadlineSocketStream::Clock;
  const Clock::time_point start = Clock::now();
  DeadlineSocketStream stream(socket, start + limits_.headTime, limits_.writeTimeout);
  bool connectionClosed = true;
  bool announcedBody = false;
  const bool answered =
      process_request(stream, true, connectionClosed, [&](httplib::Request& request) {
        stream.startBody(start + limits_.requestTime, limits_.maxBody);
        const std::string length = request.get_header_value("Content-Length");
        announcedBody =
            request.has_header("Transfer-Encoding") || (!length.empty() && length != "0");
      });

  ::shutdown(socket, SHUT_WR);
  if (announcedBody) {
    stream.startBody(Clock::now() + kLinger, std::numeric_limits<std::size_t>::max());
    char unread[16 * 1024];
    while (stream.read(unread, sizeof unread) > 0) {
    }
  }
  release(socket);
  return answered;
}

}  // namespace tessary::tool
