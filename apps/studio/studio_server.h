// glitter-studio's HTTP side: the page, the JSON API over the material and the preview images.
// Every request must carry the session's random token (in the URL, a header or the cookie the
// page gets) and a Host header naming this loopback server, or it is refused before it reaches
// anything; bodies are bounded.
#pragma once

#include <httplib.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "apps/studio/preview_renderer.h"
#include "apps/studio/studio_session.h"

namespace glitter::studio {

struct ServerOptions {
    std::string address = "127.0.0.1";
    int port = 0;  ///< 0: any free port
    std::filesystem::path webFolder;
    std::string token;  ///< empty: a new random one
};

class StudioServer {
  public:
    /// The most a request body may hold: the largest request is a file name or one value.
    static constexpr std::size_t kMaxBody = 16 * 1024;

    StudioServer(StudioSession& session, PreviewRenderer& preview, ServerOptions options);
    ~StudioServer();
    StudioServer(const StudioServer&) = delete;
    StudioServer& operator=(const StudioServer&) = delete;

    /// Binds the address; throws std::runtime_error when it cannot. Then port() is known.
    void bind();
    /// Serves until stop() (from any thread).
    void listen();
    void stop();

    int port() const { return port_; }
    const std::string& token() const { return opts.token; }
    /// The address to open: the page with the token.
    std::string url() const;

  private:
    bool admit(const httplib::Request& req, httplib::Response& res);
    void routes();
    /// The preview starts over with the material as it is now.
    void changed();

    StudioSession& session;
    PreviewRenderer& preview;
    ServerOptions opts;
    std::filesystem::path snapshots;
    unsigned snapshotCount = 0;
    std::mutex mutex;  ///< the session is used by one request at a time
    httplib::Server server;
    int port_ = 0;
};

/// 32 hexadecimal digits from the system's random source.
std::string randomToken();

}  // namespace glitter::studio
