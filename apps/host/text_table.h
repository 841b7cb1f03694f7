// Rows of text printed as aligned columns, two spaces apart; the last column is not padded, so
// lines carry no trailing blanks.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace glitter::hostcli {

class TextTable {
  public:
    void addRow(std::vector<std::string> cells) { rows_.push_back(std::move(cells)); }
    /// Prints every row, each line starting with `indent`.
    void print(std::ostream& out, const std::string& indent = "") const;

  private:
    std::vector<std::vector<std::string>> rows_;
};

}  // namespace glitter::hostcli
