#include "apps/studio/studio_server.h"

#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "apps/studio/studio_error.h"

namespace glitter::studio {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr char kCookie[] = "glitter_studio";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw StudioError(404, "missing page file " + path.filename().string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void refuse(httplib::Response& res, int status, const std::string& message) {
    res.status = status;
    res.set_content(json{{"error", message}}.dump(), "application/json");
}

// Compares without stopping at the first difference, so the time taken tells nothing.
bool sameToken(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    unsigned char diff = 0;
    for (std::size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

std::string cookieToken(const httplib::Request& req) {
    const std::string cookies = req.get_header_value("Cookie");
    const std::string key = std::string(kCookie) + "=";
    for (std::size_t at = 0; at < cookies.size();) {
        while (at < cookies.size() && (cookies[at] == ' ' || cookies[at] == ';')) ++at;
        const std::size_t end = std::min(cookies.find(';', at), cookies.size());
        if (cookies.compare(at, key.size(), key) == 0) {
            return cookies.substr(at + key.size(), end - at - key.size());
        }
        at = end;
    }
    return {};
}

json body(const httplib::Request& req) {
    json j = json::parse(req.body, nullptr, false);
    if (j.is_discarded() || !j.is_object())
        throw StudioError(400, "the body must be a JSON object");
    return j;
}

std::string field(const json& j, const char* name) {
    const auto it = j.find(name);
    if (it == j.end() || !it->is_string()) {
        throw StudioError(400, std::string("'") + name + "' must be a string");
    }
    return it->get<std::string>();
}

int frameOf(const httplib::Request& req) {
    const std::string text = req.get_param_value("frame");
    if (text.empty()) return 0;
    if (text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) {
        throw StudioError(400, "frame must be a small number");
    }
    return std::stoi(text);
}

}  // namespace

std::string randomToken() {
    std::random_device source;
    std::string token;
    char digit[3];
    for (int i = 0; i < 16; ++i) {
        std::snprintf(digit, sizeof digit, "%02x", static_cast<unsigned>(source() & 0xffu));
        token += digit;
    }
    return token;
}

StudioServer::StudioServer(StudioSession& session_, PreviewRenderer& preview_,
                           ServerOptions options)
    : session(session_), preview(preview_), opts(std::move(options)) {
    if (opts.token.empty()) opts.token = randomToken();
    char folder[] = "/tmp/glitter-studio-XXXXXX";
    if (mkdtemp(folder) == nullptr) throw std::runtime_error("cannot make a temporary folder");
    snapshots = folder;
    server.set_payload_max_length(kMaxBody);
    server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        return admit(req, res) ? httplib::Server::HandlerResponse::Unhandled
                               : httplib::Server::HandlerResponse::Handled;
    });
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
            try {
                std::rethrow_exception(ep);
            } catch (const StudioError& e) {
                refuse(res, e.status(), e.what());
            } catch (const std::exception& e) {
                refuse(res, 500, e.what());
            } catch (...) {
                refuse(res, 500, "unknown failure");
            }
        });
    server.set_default_headers(
        {{"Cache-Control", "no-store"},
         {"X-Content-Type-Options", "nosniff"},
         {"Content-Security-Policy", "default-src 'self'; img-src 'self' blob:"}});
    routes();
    changed();
}

StudioServer::~StudioServer() {
    stop();
    std::error_code ec;
    fs::remove_all(snapshots, ec);
}

void StudioServer::bind() {
    port_ = opts.port == 0 ? server.bind_to_any_port(opts.address)
                           : (server.bind_to_port(opts.address, opts.port) ? opts.port : -1);
    if (port_ <= 0) {
        throw std::runtime_error("cannot listen on " + opts.address + " port " +
                                 std::to_string(opts.port));
    }
}

void StudioServer::listen() { server.listen_after_bind(); }

void StudioServer::stop() { server.stop(); }

std::string StudioServer::url() const {
    const std::string host =
        opts.address.find(':') != std::string::npos ? "[" + opts.address + "]" : opts.address;
    return "http://" + host + ":" + std::to_string(port_) + "/?token=" + opts.token;
}

bool StudioServer::admit(const httplib::Request& req, httplib::Response& res) {
    // A page of another site that got its name to resolve to this machine (DNS rebinding)
    // still sends its own name as Host: only the loopback names and the listening address pass.
    const std::string host = req.get_header_value("Host");
    const std::string port = ":" + std::to_string(port_);
    bool hostOk = false;
    for (const std::string& name :
         {std::string("127.0.0.1"), std::string("localhost"), std::string("[::1]"), opts.address}) {
        hostOk = hostOk || host == name + port;
    }
    if (!hostOk) {
        refuse(res, 421, "the Host header must name this server on the loopback address");
        return false;
    }
    const std::string given = req.has_param("token") ? req.get_param_value("token")
                              : req.has_header("X-Studio-Token")
                                  ? req.get_header_value("X-Studio-Token")
                                  : cookieToken(req);
    if (!sameToken(given, opts.token)) {
        refuse(res, 403, "a valid token is required: open the address the studio printed");
        return false;
    }
    return true;
}

void StudioServer::changed() {
    const fs::path file = snapshots / ("material-" + std::to_string(++snapshotCount) + ".scene");
    session.snapshot(file.string());
    preview.restart(file.string(), session.revision());
}

void StudioServer::routes() {
    auto page = [this](const char* name, const char* type) {
        return [this, name, type](const httplib::Request& req, httplib::Response& res) {
            res.set_content(readFile(opts.webFolder / name), type);
            // The page's own requests then carry the token without it showing in their URLs.
            if (req.has_param("token")) {
                res.set_header("Set-Cookie", std::string(kCookie) + "=" + opts.token +
                                                 "; Path=/; HttpOnly; SameSite=Strict");
            }
        };
    };
    server.Get("/", page("index.html", "text/html; charset=utf-8"));
    server.Get("/studio.js", page("studio.js", "text/javascript; charset=utf-8"));
    server.Get("/studio.css", page("studio.css", "text/css; charset=utf-8"));

    server.Get("/api/describe", [this](const httplib::Request&, httplib::Response& res) {
        std::lock_guard<std::mutex> lock(mutex);
        res.set_content(session.describe().dump(), "application/json");
    });
    server.Get("/api/state", [this](const httplib::Request&, httplib::Response& res) {
        std::lock_guard<std::mutex> lock(mutex);
        res.set_content(json{{"material", session.state()}, {"preview", preview.status()}}.dump(),
                        "application/json");
    });
    server.Get(R"(/api/icon/([0-2])\.png)",
               [this](const httplib::Request& req, httplib::Response& res) {
                   std::lock_guard<std::mutex> lock(mutex);
                   res.set_content(session.iconPng(std::stoi(req.matches[1].str())), "image/png");
               });
    server.Get(R"(/api/preview/(close|far|turntable)\.(png|exr))",
               [this](const httplib::Request& req, httplib::Response& res) {
                   const std::string view = req.matches[1].str();
                   const bool png = req.matches[2].str() == "png";
                   const int frame = frameOf(req);
                   res.set_content(png ? preview.png(view, frame) : preview.exr(view, frame),
                                   png ? "image/png" : "image/x-exr");
                   if (req.has_param("download")) {
                       res.set_header("Content-Disposition", "attachment; filename=\"glitter-" +
                                                                 view + "." + req.matches[2].str() +
                                                                 "\"");
                   }
               });
    auto post = [this](const char* path, auto action) {
        server.Post(path, [this, action](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> lock(mutex);
            const json j = body(req);
            const bool change = action(j);
            if (change) changed();
            res.set_content(json{{"material", session.state()}}.dump(), "application/json");
        });
    };
    post("/api/set", [this](const json& j) {
        session.set(field(j, "name"), field(j, "value"));
        return true;
    });
    post("/api/reset", [this](const json&) {
        session.reset();
        return true;
    });
    post("/api/open", [this](const json& j) {
        session.open(field(j, "path"));
        return true;
    });
    post("/api/save", [this](const json& j) {
        session.save(field(j, "path"));
        return false;
    });
}

}  // namespace glitter::studio
