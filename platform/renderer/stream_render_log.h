// A render log that prints each message as one line to a stdio stream, prefixed by its level.
#pragma once

#include <cstdio>

#include "platform/renderer/render_log.h"

namespace KuvoUtils {

class StreamRenderLog : public RenderLog {
  public:
    /// `stream` is borrowed and must outlive the log.
    explicit StreamRenderLog(std::FILE* stream) : stream(stream) {}

  protected:
    void write(Level level, std::string_view message) override;

  private:
    std::FILE* stream;
};

}  // namespace KuvoUtils
