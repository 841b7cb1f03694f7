// glitter-studio's server over real HTTP on the loopback address. Named for threads: the server,
// the preview worker and its render threads run at once, so ThreadSanitizer runs it too.
#include "apps/studio/studio_server.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <memory>
#include <thread>
#include <tuple>

#include "tests/support/program_run.h"

namespace glitter::studio {
namespace {

namespace fs = std::filesystem;

class StudioServerThreads : public ::testing::Test {
  protected:
    static fs::path makeRoot(const glitter::testing::ScratchFolder& top) {
        fs::create_directories(top.path / "root" / "sub");
        fs::create_directories(top.path / "outside");
        top.write("outside/elsewhere.scene", "not a scene");
        top.write("root/sub/damaged.scene", "not a scene");
        fs::create_directory_symlink(top.path / "outside", top.path / "root" / "link");
        return top.path / "root";
    }

    glitter::testing::ScratchFolder top;
    StudioSession session{GLITTER_PLUGIN_DLT, makeRoot(top)};
    PreviewRenderer preview{PreviewOptions{.pluginPath = GLITTER_PLUGIN_DLT, .size = 16,
                                           .maxPasses = 1, .turntableFrames = 0, .threads = 1}};
    StudioServer server{session, preview, ServerOptions{}};
    std::thread serving;
    std::unique_ptr<httplib::Client> client;
    httplib::Headers auth;

    void SetUp() override {
        server.bind();
        serving = std::thread([this] { server.listen(); });
        client = std::make_unique<httplib::Client>("127.0.0.1", server.port());
        auth = {{"X-Studio-Token", server.token()}};
        session.save("sub/saved.scene");
    }
    void TearDown() override {
        server.stop();
        serving.join();
    }
    httplib::Result post(const char* path, const std::string& body,
                         const httplib::Headers& headers) {
        return client->Post(path, headers, body, "application/json");
    }
};

TEST_F(StudioServerThreads, RefusedRequestsChangeNothing) {
    const std::string before = session.state().dump();
    const std::string setBlur = R"({"name":"blur_angle","value":"5"})";
    const httplib::Headers none;
    const httplib::Headers wrong = {{"X-Studio-Token", std::string(32, '0')}};
    const httplib::Headers rebound = {
        {"X-Studio-Token", server.token()},
        {"Host", "attacker.example:" + std::to_string(server.port())}};
    const std::string big(StudioServer::kMaxBody + 1, ' ');
    const std::tuple<const char*, const char*, std::string, const httplib::Headers&, int> cases[] =
        {
            {"no token", "/api/set", setBlur, none, 403},
            {"wrong token", "/api/set", setBlur, wrong, 403},
            {"rebound host name", "/api/set", setBlur, rebound, 421},
            {"oversized body", "/api/set", setBlur + big, auth, 413},
            {"value above range", "/api/set", R"({"name":"blur_angle","value":"21"})", auth, 400},
            {"wrong type", "/api/set", R"({"name":"enable_flakes","value":"0.5"})", auth, 400},
            {"unknown parameter", "/api/set", R"({"name":"no_such","value":"1"})", auth, 400},
            {"not JSON", "/api/set", "name=blur_angle", auth, 400},
            {"traversal", "/api/open", R"({"path":"sub/../../outside/elsewhere.scene"})", auth,
             403},
            {"absolute path", "/api/save", R"({"path":"/tmp/x.scene"})", auth, 403},
            {"symlink escape, open", "/api/open", R"({"path":"link/elsewhere.scene"})", auth, 403},
            {"symlink escape, save", "/api/save", R"({"path":"link/new.scene"})", auth, 403},
            {"damaged scene", "/api/open", R"({"path":"sub/damaged.scene"})", auth, 422},
        };
    for (const auto& [what, path, body, headers, status] : cases) {
        SCOPED_TRACE(what);
        const httplib::Result r = post(path, body, headers);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, status) << r->body;
        EXPECT_TRUE(status == 413 || r->body.find("error") != std::string::npos) << r->body;
        EXPECT_EQ(session.state().dump(), before);
    }
    EXPECT_FALSE(fs::exists(top / "outside/new.scene"));

    // The same requests made properly go through: the refusals above are not blanket ones.
    const auto status = [](const httplib::Result& r) { return r ? r->status : -1; };
    EXPECT_EQ(status(post("/api/set", setBlur, auth)), 200);
    EXPECT_EQ(session.state()["values"]["blur_angle"], "5");
    EXPECT_EQ(status(post("/api/open", R"({"path":"sub/saved.scene"})", auth)), 200);
    EXPECT_EQ(session.state()["values"]["blur_angle"], "3");
    EXPECT_EQ(status(client->Get(("/api/state?token=" + server.token()).c_str())), 200);
}

}  // namespace
}  // namespace glitter::studio
