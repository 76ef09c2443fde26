#include "table.h"

#include <cstdio>
#include <fstream>

namespace handling {

bool write(const Table& table, const std::string& path) {
  for (const std::vector<double>& row : table.rows) {
    if (row.size() != table.columns.size()) {
      std::fprintf(stderr, "%s: a row of %zu values under %zu columns\n", path.c_str(), row.size(),
                   table.columns.size());
      return false;
    }
  }
  std::ofstream out(path);
  for (std::size_t i = 0; i < table.columns.size(); ++i) out << (i ? " " : "") << table.columns[i];
  out << '\n';
  for (const std::string& note : table.notes) out << "# " << note << '\n';
  char number[32];
  for (const std::vector<double>& row : table.rows) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      // Seven significant digits: a float's worth, which is what the model steps in.
      std::snprintf(number, sizeof number, "%.7g", row[i]);
      out << (i ? " " : "") << number;
    }
    out << '\n';
  }
  out.close();
  if (!out) {
    std::fprintf(stderr, "%s: cannot be written\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace handling
