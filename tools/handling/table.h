// A plain data file: a header line naming each column with its unit, notes on lines that
// start with #, then one row of numbers a line, separated by spaces. gnuplot, awk and a
// spreadsheet read it as it is.
#pragma once

#include <string>
#include <vector>

namespace handling {

struct Table {
  std::vector<std::string> columns;       // each "name_unit", e.g. "time_s"
  std::vector<std::string> notes;         // written after the header, each as "# note"
  std::vector<std::vector<double>> rows;  // each as long as columns
};

// Writes the table to `path`; false, with the reason on stderr, when the file cannot be
// written or a row does not fit the header.
bool write(const Table& table, const std::string& path);

}  // namespace handling
