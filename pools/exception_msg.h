// The one exception the renderer bridge raises: a fixed-size, printf-formatted message, so that
// reporting "out of memory" never needs more memory.
#pragma once

namespace KuvoUtils {

class ExceptionMsg {
  public:
    static constexpr int kMessageSize = 1024;

    /// Formats `format` with its arguments into the message; anything beyond
    /// kMessageSize - 1 characters is cut off. A null format gives an empty message.
    explicit ExceptionMsg(const char* format, ...) __attribute__((format(printf, 2, 3)));

    ExceptionMsg(const ExceptionMsg&) = default;
    ExceptionMsg& operator=(const ExceptionMsg&) = default;
    virtual ~ExceptionMsg();

    /// The zero-terminated message, owned by this object.
    virtual const char* getMessage() const;

  private:
    char message[kMessageSize];
};

}  // namespace KuvoUtils
