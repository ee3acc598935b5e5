#include "playground_server.h"

#include <httplib.h>

#include <chrono>
#include <exception>
#include <future>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "command_error.h"
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
constexpr std::size_t kServerThreads = 32;

constexpr std::string_view kContentSecurityPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' blob: data:; "
    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

// Runs `work` on the main thread and gives its result (or throws its exception) here.
template <typename Work>
auto onMainThread(Work work) -> decltype(work()) {
  using Result = decltype(work());
  auto promise = std::make_shared<std::promise<Result>>();
  std::future<Result> future = promise->get_future();
  platform::DispatchQueue::main().async([promise, work = std::move(work)]() mutable {
    try {
      promise->set_value(work());
    } catch (...) {
      promise->set_exception(std::current_exception());
    }
  });
  return future.get();
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
    : session_(std::move(session)), events_(events), server_(std::make_unique<httplib::Server>()) {
  server_->new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
  server_->set_payload_max_length(kMaxUploadBody);
  server_->set_keep_alive_timeout(2);
  server_->set_read_timeout(10);
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
  if (port_ <= 0) {
    throw CommandError("cannot listen on 127.0.0.1:" + std::to_string(port) +
                       " (is the port in use?)");
  }
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
}

void PlaygroundServer::join() {
  if (thread_.joinable()) thread_.join();
}

void PlaygroundServer::route() {
  server_->set_pre_routing_handler(
      [this](const httplib::Request& request, httplib::Response& response) {
        const std::string port = std::to_string(port_);
        const std::string host = request.get_header_value("Host");
        if (host != "127.0.0.1:" + port && host != "localhost:" + port) {
          sendError(response, 403, "this server answers only to its own address");
          return httplib::Server::HandlerResponse::Handled;
        }
        const std::string origin = request.get_header_value("Origin");
        const bool ownOrigin =
            origin == "http://127.0.0.1:" + port || origin == "http://localhost:" + port;
        if (request.has_header("Origin") && !ownOrigin) {
          sendError(response, 403, "requests from other sites are refused");
          return httplib::Server::HandlerResponse::Handled;
        }
        const std::string fetchSite = request.get_header_value("Sec-Fetch-Site");
        if (!fetchSite.empty() && fetchSite != "same-origin" && fetchSite != "none") {
          sendError(response, 403, "requests from other sites are refused");
          return httplib::Server::HandlerResponse::Handled;
        }
        if (request.method != "GET" && request.method != "HEAD" && !ownOrigin) {
          sendError(response, 403, "changes are taken only from the playground's own page");
          return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
      });
  server_->set_error_handler([](const httplib::Request&, httplib::Response& response) {
    if (response.body.empty()) {
      sendError(response, response.status,
                response.status == 413 ? "the request is too large" : "not found");
    }
  });

  const auto asset = [this](const char* path, std::string_view contents, const char* type) {
    server_->Get(path, [contents, type](const httplib::Request&, httplib::Response& response) {
      response.set_content(contents.data(), contents.size(), type);
    });
  };
  asset("/", web::indexHtml, "text/html; charset=utf-8");
  asset("/app.css", web::appCss, "text/css; charset=utf-8");
  asset("/app.js", web::appJs, "text/javascript; charset=utf-8");

  server_->Get("/events", [this](const httplib::Request&, httplib::Response& response) {
    auto subscription = events_.subscribe();
    response.set_header("X-Accel-Buffering", "no");
    response.set_chunked_content_provider(
        "text/event-stream", [this, subscription](std::size_t, httplib::DataSink& sink) {
          const auto message = events_.next(*subscription, kEventKeepAlive);
          if (!message) return sink.write(":\n\n", 3);
          if (message->empty()) {
            sink.done();
            return true;
          }
          return sink.write(message->data(), message->size());
        });
  });

  server_->Post(R"(/api/([A-Za-z]+))", [this](const httplib::Request& request,
                                              httplib::Response& response) {
    if (request.body.size() > kMaxActionBody) {
      sendError(response, 413, "the request is too large");
      return;
    }
    if (request.get_header_value("Content-Type").rfind("application/json", 0) != 0) {
      sendError(response, 415, "actions are sent as JSON");
      return;
    }
    if (nestsTooDeeply(request.body)) {
      sendError(response, 400, "the request is nested too deeply");
      return;
    }
    json arguments = json::parse(request.body, nullptr, false);
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

  server_->Post("/api/texture/import",
                [this](const httplib::Request& request, httplib::Response& response) {
                  const json reference = cellReference(request);
                  const std::string fileName = request.get_param_value("name");
                  answer(response, [&] {
                    const json result = onMainThread([this, &reference, &fileName, &request] {
                      return session_->importTexture(reference, fileName, request.body);
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
