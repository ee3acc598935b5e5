#pragma once

#include <httplib.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <string>

namespace tessary::tool {

// A connection's socket as httplib reads and writes it, with limits that hold whatever a client
// sends: reading fails once the deadline passes (so a client that sends slowly cannot keep the
// connection), and once more than the allowed number of bytes follow the request head (so no
// transfer encoding can pass a body limit). Writing fails when the client stops reading.
class DeadlineSocketStream : public httplib::Stream {
 public:
  using Clock = std::chrono::steady_clock;

  // Until startBody(), what is read is the request head, which must arrive before
  // `headDeadline`.
  DeadlineSocketStream(int socket, Clock::time_point headDeadline,
                       std::chrono::milliseconds writeTimeout);

  // From here on the bytes read are the body: at most `bodyAllowance` of them, read before
  // `readDeadline`.
  void startBody(Clock::time_point readDeadline, std::size_t bodyAllowance);

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* buffer, size_t size) override;
  ssize_t write(const char* data, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  int socket() const override { return socket_; }

 private:
  bool waitFor(short events, Clock::time_point deadline) const;

  int socket_;
  // httplib reads a head a byte at a time; bytes are taken from the socket a block at a time.
  std::array<char, 4096> received_{};
  std::size_t receivedBegin_ = 0;
  std::size_t receivedEnd_ = 0;
  Clock::time_point readDeadline_;
  std::size_t readAllowance_;
  std::chrono::milliseconds writeTimeout_;
};

}  // namespace tessary::tool
