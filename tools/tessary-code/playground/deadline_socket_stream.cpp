#include "deadline_socket_stream.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace tessary::tool {

namespace {

// A request head (request line and headers) is far shorter; a client that sends more before
// the body is not sending a request.
constexpr std::size_t kMaxHeadBytes = 64 * 1024;

void describe(const sockaddr_storage& address, std::string& ip, int& port) {
  char text[INET6_ADDRSTRLEN] = {};
  if (address.ss_family == AF_INET) {
    const auto& ipv4 = reinterpret_cast<const sockaddr_in&>(address);
    ::inet_ntop(AF_INET, &ipv4.sin_addr, text, sizeof text);
    port = ntohs(ipv4.sin_port);
  } else if (address.ss_family == AF_INET6) {
    const auto& ipv6 = reinterpret_cast<const sockaddr_in6&>(address);
    ::inet_ntop(AF_INET6, &ipv6.sin6_addr, text, sizeof text);
    port = ntohs(ipv6.sin6_port);
  }
  ip = text;
}

}  // namespace

DeadlineSocketStream::DeadlineSocketStream(int socket, Clock::time_point headDeadline,
                                           std::chrono::milliseconds writeTimeout)
    : socket_(socket),
      readDeadline_(headDeadline),
      readAllowance_(kMaxHeadBytes),
      writeTimeout_(writeTimeout) {}

void DeadlineSocketStream::startBody(Clock::time_point readDeadline, std::size_t bodyAllowance) {
  readDeadline_ = readDeadline;
  readAllowance_ = bodyAllowance;
}

bool DeadlineSocketStream::waitFor(short events, Clock::time_point deadline) const {
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd entry{socket_, events, 0};
    const int ready = ::poll(
        &entry, 1, static_cast<int>(std::min<long long>(left, std::numeric_limits<int>::max())));
    if (ready > 0) return (entry.revents & (events | POLLHUP | POLLERR)) != 0;
    if (ready < 0 && errno != EINTR) return false;
  }
}

bool DeadlineSocketStream::is_readable() const {
  return readAllowance_ > 0 && (receivedBegin_ < receivedEnd_ || waitFor(POLLIN, readDeadline_));
}

bool DeadlineSocketStream::is_writable() const {
  pollfd entry{socket_, POLLOUT | POLLRDHUP, 0};
  if (::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) {
    return false;
  }
  return waitFor(POLLOUT, Clock::now() + writeTimeout_);
}

ssize_t DeadlineSocketStream::read(char* buffer, size_t size) {
  if (!is_readable()) return -1;
  if (receivedBegin_ == receivedEnd_) {
    const ssize_t count = ::recv(socket_, received_.data(), received_.size(), 0);
    if (count <= 0) return count;
    receivedBegin_ = 0;
    receivedEnd_ = static_cast<std::size_t>(count);
  }
  const std::size_t count = std::min({size, readAllowance_, receivedEnd_ - receivedBegin_});
  std::memcpy(buffer, received_.data() + receivedBegin_, count);
  receivedBegin_ += count;
  readAllowance_ -= count;
  return static_cast<ssize_t>(count);
}

ssize_t DeadlineSocketStream::write(const char* data, size_t size) {
  std::size_t written = 0;
  while (written < size) {
    if (!waitFor(POLLOUT, Clock::now() + writeTimeout_)) return -1;
    const ssize_t count = ::send(socket_, data + written, size - written, MSG_NOSIGNAL);
    if (count < 0 && errno != EINTR && errno != EAGAIN) return -1;
    if (count > 0) written += static_cast<std::size_t>(count);
  }
  return static_cast<ssize_t>(written);
}

void DeadlineSocketStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getpeername(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    describe(address, ip, port);
  }
}

void DeadlineSocketStream::get_local_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    describe(address, ip, port);
  }
}

}  // namespace tessary::tool
