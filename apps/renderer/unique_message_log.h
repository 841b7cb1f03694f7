// A render's log: passes each distinct message on to the program's log once per render. Render
// threads may report one condition together (a material's one-shot warning can race between
// threads), and the user should read it once.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "platform/renderer/render_log.h"

namespace glitter::renderer {

class UniqueMessageLog final : public KuvoUtils::RenderLog {
  public:
    /// More distinct messages than this are passed on without being remembered.
    static constexpr std::size_t kMaxRemembered = 256;

    /// `target` (may be null: messages go nowhere) must outlive the log.
    explicit UniqueMessageLog(KuvoUtils::RenderLog* target) : target(target) {}

  protected:
    void write(Level level, std::string_view message) override;

  private:
    KuvoUtils::RenderLog* target;
    std::mutex mutex;
    std::set<std::pair<Level, std::string>> seen;
};

}  // namespace glitter::renderer
