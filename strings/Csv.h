#pragma once

#include <string>
#include <string_view>

namespace varnel {

// One field of a CSV line: quoted, with its quotes doubled, when it holds a comma, a quote or a
// line break. A field that a spreadsheet would take as a formula (it begins with '=', '+', '-',
// '@', a tab or a carriage return: a radio's serial number can say anything) gets a leading
// apostrophe, so that opening an export never runs what a radio sent.
std::string CsvField(std::string_view text);

}  // namespace varnel
