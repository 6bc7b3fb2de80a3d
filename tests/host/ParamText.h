// A declared parameter as one line of text, the form of ParamsGolden.inc: index, kind, id,
// flags, name and the kind's own fields, then "+junk" when any other byte of the record is
// not zero. The effect's declarations, reached directly and through the module, must give
// the golden text line for line.
#pragma once

#include <charconv>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "AE_Effect.h"

// The shortest text that reads back as the same value (as a float when `single`).
inline std::string Shortest(double v, bool single) {
  char text[32];
  return std::string(text, single ? std::to_chars(text, text + 32, float(v)).ptr
                                  : std::to_chars(text, text + 32, v).ptr);
}

inline std::string ParamLine(PF_ParamIndex index, const PF_ParamDef& def, const std::string& list) {
  PF_ParamDef rest = def;
  std::ostringstream line;
  line << index << ' ';
  switch (def.param_type) {
    case PF_Param_POPUP: line << "popup"; break;
    case PF_Param_FLOAT_SLIDER: line << "slider"; break;
    case PF_Param_POINT: line << "point"; break;
    case PF_Param_GROUP_START: line << "start"; break;
    case PF_Param_GROUP_END: line << "end"; break;
    default: line << "type " << def.param_type;
  }
  line << " '";
  for (int shift = 24; shift >= 0 && def.uu.id != 0; shift -= 8) line << char(def.uu.id >> shift);
  line << "' " << def.flags << " \"" << def.name << '"';
  if (def.param_type == PF_Param_POPUP) {
    const PF_PopupDef& p = def.u.pd;
    line << " default " << p.dephault << " value " << p.value << " of " << p.num_choices << ' '
         << list;
    rest.u.pd.value = rest.u.pd.num_choices = rest.u.pd.dephault = 0;
    rest.u.pd.u.namesptr = nullptr;
  } else if (def.param_type == PF_Param_FLOAT_SLIDER) {
    const PF_FloatSliderDef& s = def.u.fs_d;
    line << " valid " << Shortest(s.valid_min, true) << ".." << Shortest(s.valid_max, true)
         << " slider " << Shortest(s.slider_min, true) << ".." << Shortest(s.slider_max, true)
         << " default " << Shortest(s.dephault, true) << " value " << Shortest(s.value, false)
         << " precision " << s.precision;
    PF_FloatSliderDef& r = rest.u.fs_d;
    r.valid_min = r.valid_max = r.slider_min = r.slider_max = r.dephault = 0;
    r.value = 0;
    r.precision = 0;
  } else if (def.param_type == PF_Param_POINT) {
    const PF_PointDef& p = def.u.td;
    line << " default " << Shortest(p.x_dephault / 65536.0, false) << ','
         << Shortest(p.y_dephault / 65536.0, false) << " value "
         << Shortest(p.x_value / 65536.0, false) << ',' << Shortest(p.y_value / 65536.0, false);
    rest.u.td.x_dephault = rest.u.td.y_dephault = rest.u.td.x_value = rest.u.td.y_value = 0;
  }
  rest.uu.id = 0;
  rest.param_type = 0;
  rest.flags = 0;
  std::memset(rest.name, 0, sizeof rest.name);
  const auto* bytes = reinterpret_cast<const unsigned char*>(&rest);
  for (size_t i = 0; i < sizeof rest; ++i) {
    if (bytes[i] != 0) return line.str() + " +junk";
  }
  return line.str();
}

// The golden text, one parameter (1..76) a line.
inline std::vector<std::string> GoldenParamLines() {
  std::istringstream text(
#include "ParamsGolden.inc"
  );
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}
