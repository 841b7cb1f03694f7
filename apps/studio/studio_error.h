// A request the studio refuses: the status it answers with and a message for the page. A refused
// request has changed nothing.
#pragma once

#include <stdexcept>
#include <string>

namespace glitter::studio {

class StudioError : public std::runtime_error {
  public:
    StudioError(int status, const std::string& message)
        : std::runtime_error(message), status_(status) {}
    int status() const { return status_; }

  private:
    int status_;
};

}  // namespace glitter::studio
