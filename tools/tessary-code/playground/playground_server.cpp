#include "playground_server.h"

#include <httplib.h>
#include <sys/random.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <exception>
#include <future>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "connection_threads.h"
#include "one_request_server.h"
#include "tessary/platform/dispatch_queue.h"
#include "texture_files.h"
#include "web_assets.h"

namespace tessary::tool {

namespace {

using json = nlohmann::json;

constexpr std::size_t kMaxActionBody = 2 * 1024 * 1024;
constexpr std::size_t kMaxUploadBody = 8 * 1024 * 1024;
constexpr std::size_t kMaxJsonNesting = 8;
constexpr std::chrono::seconds kEventKeepAlive{10};
constexpr std::chrono::milliseconds kEventWaitStep{500};
// Connections beyond this many wait for one to end; each one's reading is limited in time, and
// event streams in number, so none waits long.
constexpr std::size_t kMaxConnectionThreads = 256;
constexpr OneRequestServer::Limits kConnectionLimits{
    .headTime = std::chrono::seconds(5),
    .requestTime = std::chrono::seconds(30),
    .writeTimeout = std::chrono::seconds(10),
    // Room for chunk framing around the largest body; each route holds its body to its own limit.
    .maxBody = kMaxUploadBody + 64 * 1024,
};
constexpr const char* kTokenHeader = "X-Playground-Token";
constexpr std::string_view kTokenPlaceholder = "@PLAYGROUND_TOKEN@";

constexpr std::string_view kContentSecurityPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' blob: data:; "
    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

// Runs `work` on the main thread and gives its result here. A failure is thrown here as a
// RequestError made here: an exception object handed between threads is freed by whichever
// thread lets go of it last, through reference counts that thread checkers cannot follow.
template <typename Work>
auto onMainThread(Work work) -> decltype(work()) {
  using Result = decltype(work());
  struct Outcome {
    std::optional<Result> result;
    int status = 500;
    std::string message = "the request failed";
  };
  auto promise = std::make_shared<std::promise<Outcome>>();
  std::future<Outcome> future = promise->get_future();
  platform::DispatchQueue::main().async([promise, work = std::move(work)]() mutable {
    Outcome outcome;
    try {
      outcome.result = work();
    } catch (const RequestError& error) {
      outcome.status = error.status();
      outcome.message = error.what();
    } catch (const std::exception& error) {
      outcome.message = error.what();
    } catch (...) {
      // Anything else keeps the outcome's default: the request failed, 500.
    }
    promise->set_value(std::move(outcome));
  });
  Outcome outcome = future.get();
  if (!outcome.result) throw RequestError(outcome.status, outcome.message);
  return std::move(*outcome.result);
}

void sendJson(httplib::Response& response, int status, const json& body) {
  response.status = status;
  response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace),
                       "application/json");
}

void sendError(httplib::Response& response, int status, std::string_view message) {
  sendJson(response, status, json{{"error", std::string(message)}});
}

// JSON nested deeper than the actions need is refused before it is parsed.
bool nestsTooDeeply(std::string_view text) {
  std::size_t depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') ++i;
      if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxJsonNesting) return true;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return false;
}

// The cell a query names: ?cell=N and, for a sub-cell, &sub=M.
json cellReference(const httplib::Request& request) {
  const auto number = [&](const char* name) -> json {
    if (!request.has_param(name)) return nullptr;
    const std::string text = request.get_param_value(name);
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
      return "not a number";
    }
    return std::stoi(text);
  };
  return {{"cell", number("cell")}, {"sub", number("sub")}};
}

// A file name for a download header: ASCII letters, digits and ".-_" only.
std::string downloadName(std::string_view name) {
  std::string safe;
  for (const char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '-' || c == '_';
    safe.push_back(plain ? c : '_');
  }
  return safe;
}

// A secret for this run of the server, given to its page only. Another site's page cannot read
// it, and cannot add a header of its own to a request it sends here without asking first.
std::string newToken() {
  unsigned char bytes[16];
  std::size_t filled = 0;
  while (filled < sizeof bytes) {
    const ssize_t count = ::getrandom(bytes + filled, sizeof bytes - filled, 0);
    if (count < 0 && errno != EINTR) throw ServerError("no random numbers for the page's secret");
    if (count > 0) filled += static_cast<std::size_t>(count);
  }
  constexpr std::string_view kDigits = "0123456789abcdef";
  std::string token;
  for (const unsigned char byte : bytes) {
    token.push_back(kDigits[byte >> 4]);
    token.push_back(kDigits[byte & 15]);
  }
  return token;
}

// Compares in time independent of where the texts differ, so the secret cannot be guessed a
// character at a time.
bool sameSecret(std::string_view given, std::string_view expected) {
  unsigned char difference = given.size() == expected.size() ? 0 : 1;
  for (std::size_t i = 0; i < given.size() && i < expected.size(); ++i) {
    difference |= static_cast<unsigned char>(given[i] ^ expected[i]);
  }
  return difference == 0;
}

// The paths the action handler answers: /api/ and a name of letters.
bool isActionPath(std::string_view path) {
  constexpr std::string_view kPrefix = "/api/";
  if (!path.starts_with(kPrefix) || path.size() == kPrefix.size()) return false;
  return std::all_of(path.begin() + kPrefix.size(), path.end(),
                     [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

std::size_t bodyLimit(std::string_view path) {
  return path == "/api/texture/import" ? kMaxUploadBody : kMaxActionBody;
}

// The body as `reader` delivers it, whatever the transfer encoding; answers 413 and gives nothing
// as soon as it passes `limit`, or 400 when it does not arrive whole.
std::optional<std::string> readBody(const httplib::ContentReader& reader, std::size_t limit,
                                    httplib::Response& response) {
  std::string body;
  bool tooLarge = false;
  const bool whole = reader([&](const char* data, std::size_t size) {
    tooLarge = size > limit - body.size();
    if (!tooLarge) body.append(data, size);
    return !tooLarge;
  });
  if (whole) return body;
  if (tooLarge) {
    sendError(response, 413, "the request is too large");
  } else {
    sendError(response, 400, "the request did not arrive whole");
  }
  return std::nullopt;
}

template <typename Work>
void answer(httplib::Response& response, Work work) {
  try {
    work();
  } catch (const RequestError& error) {
    sendError(response, error.status(), error.what());
  } catch (const std::exception& error) {
    sendError(response, 500, error.what());
  }
}

}  // namespace

PlaygroundServer::PlaygroundServer(std::shared_ptr<PlaygroundSession> session, EventHub& events)
    : session_(std::move(session)),
      events_(events),
      server_(std::make_unique<OneRequestServer>(kConnectionLimits)),
      token_(newToken()) {
  server_->new_task_queue = [] { return new ConnectionThreads(kMaxConnectionThreads); };
  server_->set_payload_max_length(kMaxUploadBody);
  // Address reuse alone lets a restarted server take its port back from closed connections;
  // port sharing would let a second server start beside a running one.
  server_->set_socket_options([](int socket) {
    const int yes = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  server_->set_default_headers({{"X-Content-Type-Options", "nosniff"},
                                {"X-Frame-Options", "DENY"},
                                {"Referrer-Policy", "no-referrer"},
                                {"Cache-Control", "no-store"},
                                {"Content-Security-Policy", std::string(kContentSecurityPolicy)}});
  route();
}

PlaygroundServer::~PlaygroundServer() {
  stop();
  join();
}

int PlaygroundServer::bind(int port) {
  port_ = port == 0 ? server_->bind_to_any_port("127.0.0.1")
                    : (server_->bind_to_port("127.0.0.1", port) ? port : -1);
  if (port_ <= 0 && errno == EADDRINUSE) {
    throw ServerError("port " + std::to_string(port) + " is in use; try --port 0");
  }
  if (port_ <= 0) throw ServerError("cannot listen on 127.0.0.1:" + std::to_string(port));
  server_->setBacklog(SOMAXCONN);
  return port_;
}

void PlaygroundServer::start() {
  thread_ = std::thread([this] {
    server_->listen_after_bind();
    stopped_ = true;
  });
}

void PlaygroundServer::stop() {
  events_.close();
  server_->stop();
  server_->closeConnections();
}

void PlaygroundServer::join() {
  if (thread_.joinable()) thread_.join();
}

std::optional<PlaygroundServer::Refusal> PlaygroundServer::refusal(
    const httplib::Request& request) const {
  const std::string port = std::to_string(port_);
  const std::string host = request.get_header_value("Host");
  if (host != "127.0.0.1:" + port && host != "localhost:" + port) {
    return Refusal{403, "this server answers only to its own address"};
  }
  const std::string origin = request.get_header_value("Origin");
  const bool ownOrigin =
      origin == "http://127.0.0.1:" + port || origin == "http://localhost:" + port;
  const std::string fetchSite = request.get_header_value("Sec-Fetch-Site");
  if ((request.has_header("Origin") && !ownOrigin) ||
      (!fetchSite.empty() && fetchSite != "same-origin" && fetchSite != "none")) {
    return Refusal{403, "requests from other sites are refused"};
  }
  if (request.method == "GET" || request.method == "HEAD") return std::nullopt;
  if (request.method != "POST") return Refusal{405, "only GET and POST are answered"};
  if (!ownOrigin || !sameSecret(request.get_header_value(kTokenHeader), token_)) {
    return Refusal{403, "changes are taken only from the playground's own page"};
  }
  if (request.path != "/api/texture/import" && !isActionPath(request.path)) {
    return Refusal{404, "not found"};
  }
  const std::string contentType = request.get_header_value("Content-Type");
  if (request.has_header("Content-Encoding") || contentType.starts_with("multipart/")) {
    return Refusal{415, "bodies are sent plain"};
  }
  const bool chunked = request.has_header("Transfer-Encoding");
  if (chunked && (request.get_header_value("Transfer-Encoding") != "chunked" ||
                  request.has_header("Content-Length"))) {
    return Refusal{400, "the body's length is given twice or in an unknown way"};
  }
  if (chunked) return std::nullopt;
  const std::string lengthText = request.get_header_value("Content-Length");
  std::size_t length = 0;
  const auto [end, error] =
      std::from_chars(lengthText.data(), lengthText.data() + lengthText.size(), length);
  if (lengthText.empty() || error != std::errc() || end != lengthText.data() + lengthText.size() ||
      request.get_header_value_count("Content-Length") != 1) {
    return Refusal{411, "a body's length is given once, as a number"};
  }
  if (length > bodyLimit(request.path)) return Refusal{413, "the request is too large"};
  return std::nullopt;
}

void PlaygroundServer::route() {
  // Checked once the head has arrived and before any of the body is read; a client that waits
  // for "100 Continue" learns of a refusal without sending its body.
  server_->set_pre_routing_handler(
      [this](const httplib::Request& request, httplib::Response& response) {
        const std::optional<Refusal> refused = refusal(request);
        if (!refused) return httplib::Server::HandlerResponse::Unhandled;
        sendError(response, refused->status, refused->reason);
        return httplib::Server::HandlerResponse::Handled;
      });
  server_->set_expect_100_continue_handler(
      [this](const httplib::Request& request, httplib::Response& response) {
        const std::optional<Refusal> refused = refusal(request);
        if (!refused) return 100;
        sendError(response, refused->status, refused->reason);
        return refused->status;
      });
  server_->set_error_handler([](const httplib::Request&, httplib::Response& response) {
    if (response.body.empty()) {
      sendError(response, response.status,
                response.status == 413 ? "the request is too large" : "not found");
    }
  });

  const auto asset = [this](const std::string& path, std::string_view contents, const char* type) {
    server_->Get(path, [contents, type](const httplib::Request&, httplib::Response& response) {
      response.set_content(contents.data(), contents.size(), type);
    });
  };
  page_ = std::string(web::indexHtml);
  page_.replace(page_.find(kTokenPlaceholder), kTokenPlaceholder.size(), token_);
  asset("/", page_, "text/html; charset=utf-8");
  // The style sheet and the script modules, each at its own name.
  for (const web::File& file : web::files) {
    const char* type = file.name.ends_with(".css")  ? "text/css; charset=utf-8"
                       : file.name.ends_with(".js") ? "text/javascript; charset=utf-8"
                                                    : nullptr;
    if (type) asset("/" + std::string(file.name), file.text, type);
  }

  server_->Get("/events", [this](const httplib::Request&, httplib::Response& response) {
    auto subscription = events_.subscribe();
    response.set_header("X-Accel-Buffering", "no");
    response.set_chunked_content_provider(
        "text/event-stream", [this, subscription, quiet = std::chrono::milliseconds(0)](
                                 std::size_t, httplib::DataSink& sink) mutable {
          // Waits in short steps, so that a page that has gone is noticed soon and its place
          // among the followed pages is freed.
          if (!sink.is_writable()) return false;
          if (events_.isBehind(*subscription)) {
            quiet = {};
            std::string snapshot;
            try {
              snapshot = onMainThread([this, &subscription] {
                events_.catchUp(*subscription);
                return session_->pageSnapshot();
              });
            } catch (const RequestError&) {
              return false;
            }
            return sink.write(snapshot.data(), snapshot.size());
          }
          const auto message = events_.next(*subscription, kEventWaitStep);
          if (!message) {
            quiet += kEventWaitStep;
            if (quiet < kEventKeepAlive) return true;
            quiet = {};
            return sink.write(":\n\n", 3);
          }
          quiet = {};
          if (message->empty()) {
            sink.done();
            return true;
          }
          return sink.write(message->data(), message->size());
        });
  });

  server_->Post(R"(/api/([A-Za-z]+))", [this](const httplib::Request& request,
                                              httplib::Response& response,
                                              const httplib::ContentReader& reader) {
    if (!request.get_header_value("Content-Type").starts_with("application/json")) {
      sendError(response, 415, "actions are sent as JSON");
      return;
    }
    const std::optional<std::string> body = readBody(reader, kMaxActionBody, response);
    if (!body) return;
    if (nestsTooDeeply(*body)) {
      sendError(response, 400, "the request is nested too deeply");
      return;
    }
    json arguments = json::parse(*body, nullptr, false);
    if (arguments.is_discarded()) {
      sendError(response, 400, "the request is not JSON");
      return;
    }
    const std::string action = request.matches[1];
    answer(response, [&] {
      const json result =
          onMainThread([this, &action, &arguments] { return session_->handle(action, arguments); });
      sendJson(response, 200, result);
    });
  });

  server_->Post(
      "/api/texture/import", [this](const httplib::Request& request, httplib::Response& response,
                                    const httplib::ContentReader& reader) {
        const std::optional<std::string> body = readBody(reader, kMaxUploadBody, response);
        if (!body) return;
        const json reference = cellReference(request);
        const std::string fileName = request.get_param_value("name");
        answer(response, [&] {
          const json result = onMainThread([this, &reference, &fileName, &body] {
            return session_->importTexture(reference, fileName, *body);
          });
          sendJson(response, 200, result);
        });
      });

  server_->Get(
      "/api/texture/export", [this](const httplib::Request& request, httplib::Response& response) {
        const json reference = cellReference(request);
        const bool download = request.get_param_value("download") == "1";
        answer(response, [&] {
          const PlaygroundSession::TextureFile file =
              onMainThread([this, &reference] { return session_->exportTexture(reference); });
          if (download) {
            response.set_header("Content-Disposition",
                                "attachment; filename=\"" + downloadName(file.fileName) + "\"");
          }
          response.set_content(file.bytes, std::string(textureContentType(file.fileName)));
        });
      });
}

}  // namespace tessary::tool
