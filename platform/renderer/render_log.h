// The renderer's log. Materials print through the printf-style operations; a concrete log only
// decides where the finished lines go.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

#if defined(__GNUC__)
#define KUVO_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define KUVO_PRINTF_FORMAT(fmt, args)
#endif

namespace KuvoUtils {

class RenderLog {
  public:
    enum class Level { info, warning, error };

    RenderLog() = default;
    RenderLog(const RenderLog&) = delete;
    RenderLog& operator=(const RenderLog&) = delete;
    virtual ~RenderLog() = default;

    /// printf-style messages. May be called from several render threads at once; a null
    /// format prints nothing.
    virtual void printInfo(const char* format, ...) KUVO_PRINTF_FORMAT(2, 3);
    virtual void printWarning(const char* format, ...) KUVO_PRINTF_FORMAT(2, 3);
    virtual void printError(const char* format, ...) KUVO_PRINTF_FORMAT(2, 3);

    /// The prefix a log line of `level` carries: "", "warning: " or "error: ".
    static std::string_view levelPrefix(Level level);
    /// The text `format` and `args` produce, however long.
    static std::string formatMessage(const char* format, va_list args);

  protected:
    /// Takes one finished message. Must be safe to call from several threads at once.
    virtual void write(Level level, std::string_view message) = 0;

  private:
    void print(Level level, const char* format, va_list args);
};

}  // namespace KuvoUtils
