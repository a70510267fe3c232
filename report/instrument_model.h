#pragma once

#include <cstdlib>
#include <string>
#include <string_view>

/// The instrument models, by their numbers; None when a text names no model.
enum class InstrumentModel { None = 0, M6310 = 6310, M6350 = 6350, M6120 = 6120, M6480 = 6480 };

/// The model named by the leading decimal number of `text` (atoi rules).
inline InstrumentModel ModelFromText(std::string_view text) {
  int n = std::atoi(std::string(text).c_str());
  for (InstrumentModel m : {InstrumentModel::M6310, InstrumentModel::M6120, InstrumentModel::M6350,
                            InstrumentModel::M6480}) {
    if (n == static_cast<int>(m)) return m;
  }
  return InstrumentModel::None;
}
