#include "Host/ParamsSetup.h"

#include "AE_EffectCB.h"
#include "Host/FourCharCode.h"
#include "Host/ParamIndices.h"
#include "Host/StringTable.h"

namespace {

// A parameter id: host ids are signed, the code's bits unchanged.
constexpr A_long FourCharId(const char (&code)[5]) {
  return static_cast<A_long>(MakeFourCharCode(code));
}

// Set-up choices the user cannot keyframe; Lens Model is also supervised, so the host tells
// us when it changes and the matching group can be opened.
constexpr PF_ParamFlags kAnimatable = 0;
constexpr PF_ParamFlags kFixed = PF_ParamFlag_CANNOT_TIME_VARY | PF_ParamFlag_CANNOT_INTERP;
constexpr PF_ParamFlags kSupervised = kFixed | PF_ParamFlag_SUPERVISE;

// 16.16 fixed point percent of the layer, as the host expects point defaults.
constexpr PF_Fixed PercentOfLayer(A_long percent) { return percent * 65536; }

// Writes the name at `position` into the record with the host's strcpy, cut first to the
// 31 characters the field holds.
void SetName(PF_InData* in_data, PF_ParamDef& def, int32_t position) {
  const char* text = GetString(position);
  A_char cut[PF_MAX_EFFECT_PARAM_NAME_LEN + 1];
  int32_t n = 0;
  for (; n < PF_MAX_EFFECT_PARAM_NAME_LEN && text[n] != '\0'; ++n) cut[n] = text[n];
  cut[n] = '\0';
  if (in_data->utils && in_data->utils->ansi.strcpy) {
    in_data->utils->ansi.strcpy(def.name, cut);
  } else {
    for (int32_t i = 0; i <= n; ++i) def.name[i] = cut[i];
  }
}

PF_Err AddParam(PF_InData* in_data, PF_ParamDef& def) {
  if (!in_data->inter.add_param) return PF_Err_BAD_CALLBACK_PARAM;
  return in_data->inter.add_param(in_data->effect_ref, -1, &def);
}

// Entries of a popup list: one more than its separators.
A_short CountChoices(const char* list) {
  A_short count = 1;
  for (; *list != '\0'; ++list) {
    if (*list == '|') ++count;
  }
  return count;
}

PF_Err AddPopup(PF_InData* in_data, const char (&id)[5], int32_t namePosition, int32_t listPosition,
                A_short dephault, PF_ParamFlags flags) {
  PF_ParamDef def{};
  def.param_type = PF_Param_POPUP;
  def.uu.id = FourCharId(id);
  def.flags = flags;
  SetName(in_data, def, namePosition);
  def.u.pd.value = dephault;
  def.u.pd.dephault = dephault;
  def.u.pd.num_choices = CountChoices(GetString(listPosition));
  def.u.pd.u.namesptr = GetString(listPosition);
  return AddParam(in_data, def);
}

PF_Err AddSlider(PF_InData* in_data, A_long id, int32_t namePosition, double minimum,
                 double dephault, double maximum, A_short precision, PF_ParamFlags flags) {
  PF_ParamDef def{};
  def.param_type = PF_Param_FLOAT_SLIDER;
  def.uu.id = id;
  def.flags = flags;
  SetName(in_data, def, namePosition);
  PF_FloatSliderDef& slider = def.u.fs_d;
  slider.valid_min = slider.slider_min = static_cast<PF_FpShort>(minimum);
  slider.valid_max = slider.slider_max = static_cast<PF_FpShort>(maximum);
  slider.dephault = static_cast<PF_FpShort>(dephault);
  slider.value = dephault;
  slider.precision = precision;
  return AddParam(in_data, def);
}

PF_Err AddPoint(PF_InData* in_data, const char (&id)[5], int32_t namePosition, A_long xPercent,
                A_long yPercent, PF_ParamFlags flags) {
  PF_ParamDef def{};
  def.param_type = PF_Param_POINT;
  def.uu.id = FourCharId(id);
  def.flags = flags;
  SetName(in_data, def, namePosition);
  def.u.td.x_value = def.u.td.x_dephault = PercentOfLayer(xPercent);
  def.u.td.y_value = def.u.td.y_dephault = PercentOfLayer(yPercent);
  return AddParam(in_data, def);
}

// One slider of a coefficient group; its name is the group's next string position.
struct GroupSlider {
  char id[5];
  double minimum;
  double dephault;
  double maximum;
  A_short precision;
};

// The shapes most group sliders share.
#define VTAFX_COEFFICIENT -25.0, 0.0, 25.0, 6
#define VTAFX_SCALE 0.1, 1.0, 10.0, 5
#define VTAFX_ROTATION -15.0, 0.0, 15.0, 4

const GroupSlider kClassicSliders[] = {{"cls2", -20000.0, 0.0, 20000.0, 3},
                                       {"cls3", -20000.0, 0.0, 20000.0, 3},
                                       {"cls4", -20000.0, 0.0, 20000.0, 3},
                                       {"clse", -10.0, 1.0, 10.0, 5},
                                       {"clsv", VTAFX_SCALE}};
// 'mode' again: the host stores this eccentricity under the same id as Distort Mode.
const GroupSlider kSquashSliders[] = {{"mod2", VTAFX_COEFFICIENT},
                                      {"mod3", VTAFX_COEFFICIENT},
                                      {"mod4", VTAFX_COEFFICIENT},
                                      {"mode", -10.0, 1.0, 10.0, 5},
                                      {"modv", VTAFX_SCALE}};
const GroupSlider kRadial4Sliders[] = {{"r4c2", VTAFX_COEFFICIENT}, {"r4u2", VTAFX_COEFFICIENT},
                                       {"r4v2", VTAFX_COEFFICIENT}, {"r4c4", VTAFX_COEFFICIENT},
                                       {"r4u4", VTAFX_COEFFICIENT}, {"r4v4", VTAFX_COEFFICIENT}};
const GroupSlider kMergedAnamorphicSliders[] = {
    {"m602", VTAFX_COEFFICIENT}, {"m622", VTAFX_COEFFICIENT}, {"m604", VTAFX_COEFFICIENT},
    {"m624", VTAFX_COEFFICIENT}, {"m644", VTAFX_COEFFICIENT}, {"m606", VTAFX_COEFFICIENT},
    {"m626", VTAFX_COEFFICIENT}, {"m646", VTAFX_COEFFICIENT}, {"m666", VTAFX_COEFFICIENT},
    {"m6hs", VTAFX_SCALE},       {"m6vs", VTAFX_SCALE},       {"m6ro", VTAFX_ROTATION}};
const GroupSlider kAnamorphicSliders[] = {
    {"x602", VTAFX_COEFFICIENT}, {"x622", VTAFX_COEFFICIENT}, {"x604", VTAFX_COEFFICIENT},
    {"x624", VTAFX_COEFFICIENT}, {"x644", VTAFX_COEFFICIENT}, {"x606", VTAFX_COEFFICIENT},
    {"x626", VTAFX_COEFFICIENT}, {"x646", VTAFX_COEFFICIENT}, {"x666", VTAFX_COEFFICIENT},
    {"y602", VTAFX_COEFFICIENT}, {"y622", VTAFX_COEFFICIENT}, {"y604", VTAFX_COEFFICIENT},
    {"y624", VTAFX_COEFFICIENT}, {"y644", VTAFX_COEFFICIENT}, {"y606", VTAFX_COEFFICIENT},
    {"y626", VTAFX_COEFFICIENT}, {"y646", VTAFX_COEFFICIENT}, {"y666", VTAFX_COEFFICIENT},
    {"a6hs", VTAFX_SCALE},       {"a6vs", VTAFX_SCALE},       {"a6ro", VTAFX_ROTATION}};
const GroupSlider kFisheyeSliders[] = {{"fsh2", VTAFX_COEFFICIENT}, {"fsh4", VTAFX_COEFFICIENT},
                                       {"fsh6", VTAFX_COEFFICIENT}, {"fsh8", VTAFX_COEFFICIENT},
                                       {"fshs", 0.0, 1.0, 20.0, 5}, {"fsha", 0.0, 1.0, 2.0, 5}};

#undef VTAFX_COEFFICIENT
#undef VTAFX_SCALE
#undef VTAFX_ROTATION

// A family's controls: the group's name, its first slider's name (the rest follow in string
// order) and the sliders themselves. How many sliders, where the group sits and in which
// order the groups come are the lens model table's and the parameter positions' facts.
struct FamilyControls {
  int32_t groupName;
  int32_t firstSliderName;
  const GroupSlider* sliders;
  int32_t count;
};

template <int32_t N>
constexpr FamilyControls Controls(int32_t groupName, int32_t firstSliderName,
                                  const GroupSlider (&sliders)[N]) {
  return FamilyControls{groupName, firstSliderName, sliders, N};
}

// By ModelFamily.
constexpr FamilyControls kFamilyControls[kModelFamilyCount] = {
    Controls(kStrClassicGroup, kStrClassicFirst, kClassicSliders),
    Controls(kStrSquashGroup, kStrSquashFirst, kSquashSliders),
    Controls(kStrRadial4Group, kStrRadial4First, kRadial4Sliders),
    Controls(kStrMergedAnamorphicGroup, kStrMergedAnamorphicFirst, kMergedAnamorphicSliders),
    Controls(kStrAnamorphicGroup, kStrAnamorphicFirst, kAnamorphicSliders),
    Controls(kStrFisheyeGroup, kStrFisheyeFirst, kFisheyeSliders),
};

// The host numbers parameters in the order they are added, so each family's sliders must
// fill exactly the positions the render reads, with the groups in ModelFamily order.
constexpr bool ControlsMatchTable() {
  PF_ParamIndex next = kParamClassicGroup;
  for (int32_t f = 0; f < kModelFamilyCount; ++f) {
    const auto family = static_cast<ModelFamily>(f);
    if (kFamilyControls[f].count != SliderCountOf(family)) return false;
    if (ParamsOf(family).group != next || ParamsOf(family).firstSlider != next + 1) return false;
    next += SliderCountOf(family) + 2;
  }
  return next == kParamCount;
}
static_assert(ControlsMatchTable(), "slider lists disagree with the lens model table");

}  // namespace

void AddFloatSlider(PF_InData* in_data, A_long id, int32_t namePosition, double minimum,
                    double dephault, double maximum, A_short precision, PF_Err* err) {
  const PF_Err added =
      AddSlider(in_data, id, namePosition, minimum, dephault, maximum, precision, kAnimatable);
  if (added) *err = added;
}

void AddGroupStart(PF_InData* in_data, int32_t namePosition, bool open, PF_Err* err) {
  PF_ParamDef def{};
  def.param_type = PF_Param_GROUP_START;
  def.flags = open ? 0 : PF_ParamFlag_START_COLLAPSED;
  SetName(in_data, def, namePosition);
  const PF_Err added = AddParam(in_data, def);
  if (added) *err = added;
}

void AddGroupEnd(PF_InData* in_data, int32_t namePosition, PF_Err* err) {
  PF_ParamDef def{};
  def.param_type = PF_Param_GROUP_END;
  SetName(in_data, def, namePosition);
  const PF_Err added = AddParam(in_data, def);
  if (added) *err = added;
}

PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* /*params*/[],
                   PF_LayerDef* /*output*/) {
  PF_Err err = PF_Err_NONE;

  if (!err) err = AddPopup(in_data, "modl", kStrLensModel, kStrLensModelChoices, 4, kSupervised);
  if (!err) err = AddPopup(in_data, "mode", kStrDistortMode, kStrDistortModeChoices, 1, kFixed);
  if (!err) err = AddPopup(in_data, "filt", kStrFilterType, kStrFilterTypeChoices, 4, kFixed);
  if (!err)
    err = AddSlider(in_data, FourCharId("pasp"), kStrPixelAspect, 0.1, 1.0, 10.0, 3, kFixed);
  if (!err) {
    err =
        AddSlider(in_data, FourCharId("asqz"), kStrAnamorphicSqueeze, 0.01, 1.0, 100.0, 5, kFixed);
  }
  if (!err) {
    err = AddSlider(in_data, FourCharId("zoom"), kStrZoomFactor, 0.01, 1.0, 10.0, 5, kAnimatable);
  }
  if (!err) err = AddPoint(in_data, "imsz", kStrDistortedSize, 100, 100, kFixed);
  if (!err) err = AddPoint(in_data, "pdsz", kStrUndistortedSize, 100, 100, kFixed);
  if (!err) err = AddPoint(in_data, "ictr", kStrLensCenter, 50, 50, kAnimatable);

  // From here on every addition is tried, so one refused control costs the user only that
  // control rather than every group after it.
  for (int32_t f = 0; f < kModelFamilyCount; ++f) {
    const FamilyControls& controls = kFamilyControls[f];
    AddGroupStart(in_data, controls.groupName, false, &err);
    for (int32_t i = 0; i < SliderCountOf(static_cast<ModelFamily>(f)); ++i) {
      const GroupSlider& s = controls.sliders[i];
      AddFloatSlider(in_data, FourCharId(s.id), controls.firstSliderName + i, s.minimum, s.dephault,
                     s.maximum, s.precision, &err);
    }
    AddGroupEnd(in_data, controls.groupName, &err);
  }

  out_data->num_params = kParamCount;
  return err;
}
