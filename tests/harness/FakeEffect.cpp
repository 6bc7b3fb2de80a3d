// A small effect module for testing the harness on its own: it uses every kind of host
// call the real effect uses, in the same way, with results that are easy to predict.
//
// Parameters: 1 "Mode" popup (Copy|Sample|Fail, supervised), 2 "Grow" slider (0..20000),
// 3 "Center" point (50 %, 50 %), 4 "Group" start (collapsed), 5 "Inner" slider, 6 group end.
// Render: the output extent is the layer grown by "Grow" pixels on every side. "Copy"
// copies the layer (transparent outside it); "Sample" asks the host's subpixel sampler for
// the point half a pixel right of each pixel; "Fail" makes rows 5 and below fail with
// 42 + row. Changing "Mode" opens "Group" for "Sample" and collapses it otherwise; changing
// "Center" writes its value into return_msg; changing "Grow" takes Param Utils and (on
// purpose) never gives it back.
#include <cstring>
#include <new>

#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "AE_EffectCBSuites.h"
#include "AE_EffectPixelFormat.h"
#include "AE_EffectSuites.h"
#include "SPBasic.h"

namespace {

struct FrameData {
  A_long mode;
  A_long grow;
};

template <typename Suite>
PF_Err Acquire(PF_InData* in, const char* name, int32 version, const Suite*& suite) {
  suite = nullptr;
  const void* p = nullptr;
  if (in->pica_basicP == nullptr || in->pica_basicP->AcquireSuite(name, version, &p) != 0 ||
      p == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  suite = static_cast<const Suite*>(p);
  return PF_Err_NONE;
}

PF_Err Release(PF_InData* in, const char* name, int32 version) {
  return in->pica_basicP->ReleaseSuite(name, version) == 0 ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM;
}

PF_Err GlobalSetup(PF_InData* in, PF_OutData* out) {
  const PF_ANSICallbacksSuite1* ansi = nullptr;
  PF_Err err = Acquire(in, kPFANSISuite, kPFANSISuiteVersion1, ansi);
  if (!err) {
    for (int i = 0; i < 3; ++i) ansi->sin(1.0);
    err = Release(in, kPFANSISuite, kPFANSISuiteVersion1);
  } else {
    out->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    in->utils->ansi.sprintf(out->return_msg, "Couldn't load suite.");
  }
  out->my_version = 0x00080001;
  out->out_flags |= 0x02000040;
  out->out_flags2 = 0x08001408;
  return err;
}

PF_Err AddParams(PF_InData* in, PF_OutData* out) {
  PF_Err err = PF_Err_NONE;
  PF_ParamDef def;
  auto add = [&](PF_ParamType type, A_long id, const char* name, PF_ParamFlags flags) {
    if (!err) {
      def.param_type = type;
      def.uu.id = id;
      def.flags = flags;
      in->utils->ansi.strcpy(def.name, name);
      err = in->inter.add_param(in->effect_ref, -1, &def);
    }
    std::memset(&def, 0, sizeof def);
  };
  std::memset(&def, 0, sizeof def);
  def.u.pd.num_choices = 3;
  def.u.pd.value = 1;
  def.u.pd.dephault = 1;
  def.u.pd.u.namesptr = "Copy|Sample|Fail";
  add(PF_Param_POPUP, 0x6D6F6465, "Mode", 70);
  def.u.fs_d.valid_min = def.u.fs_d.slider_min = 0;
  def.u.fs_d.valid_max = def.u.fs_d.slider_max = 20000;
  def.u.fs_d.precision = 1;
  add(PF_Param_FLOAT_SLIDER, 0x67726F77, "Grow", 0);
  def.u.td.x_dephault = def.u.td.y_dephault = 50 << 16;
  add(PF_Param_POINT, 0x63656E74, "Center", 0);
  add(PF_Param_GROUP_START, 0, "Group", PF_ParamFlag_START_COLLAPSED);
  def.u.fs_d.valid_max = def.u.fs_d.slider_max = 1;
  def.u.fs_d.dephault = 0.5f;
  def.u.fs_d.value = 0.5;
  add(PF_Param_FLOAT_SLIDER, 0x696E6E72, "Inner", 0);
  add(PF_Param_GROUP_END, 0, "Group", 0);
  out->num_params = 7;
  return err;
}

PF_Err UserChangedParam(PF_InData* in, PF_OutData* out, PF_ParamDef* params[],
                        const PF_UserChangedParamExtra* extra) {
  const PF_ParamUtilsSuite3* utils = nullptr;
  if (extra->param_index == 1) {
    PF_Err err = Acquire(in, kPFParamUtilsSuite, kPFParamUtilsSuiteVersion3, utils);
    if (err) return err;
    PF_ParamDef copy = *params[4];
    const bool open = params[1]->u.pd.value == 2;
    copy.flags = open ? (copy.flags & ~PF_ParamFlag_COLLAPSE_TWIRLY)
                      : (copy.flags | PF_ParamFlag_COLLAPSE_TWIRLY);
    if (copy.flags != params[4]->flags) {
      copy.uu.change_flags |= PF_ChangeFlag_CHANGED_VALUE;
      utils->PF_UpdateParamUI(in->effect_ref, 4, &copy);
    }
    return Release(in, kPFParamUtilsSuite, kPFParamUtilsSuiteVersion3);
  }
  if (extra->param_index == 2) return Acquire(in, kPFParamUtilsSuite, kPFParamUtilsSuiteVersion3, utils);
  if (extra->param_index == 3) {
    const PF_PointParamSuite1* points = nullptr;
    PF_ParamDef def;
    std::memset(&def, 0, sizeof def);
    PF_Err err = Acquire(in, kPFPointParamSuite, kPFPointParamSuiteVersion1, points);
    if (!err) err = in->inter.checkout_param(in->effect_ref, 3, in->current_time, in->time_step, in->time_scale, &def);
    A_FloatPoint p{0, 0};
    if (!err) err = points->PF_GetFloatingPointValueFromPointDef(in->effect_ref, &def, &p);
    if (!err) in->utils->ansi.sprintf(out->return_msg, "%.17g %.17g", p.x, p.y);
    in->inter.checkin_param(in->effect_ref, &def);
    if (points != nullptr) Release(in, kPFPointParamSuite, kPFPointParamSuiteVersion1);
    return err;
  }
  return PF_Err_NONE;
}

void Dispose(void* data) { delete static_cast<FrameData*>(data); }

PF_Err ReadParam(PF_InData* in, PF_ParamIndex index, PF_ParamDef& def) {
  std::memset(&def, 0, sizeof def);
  PF_Err err = in->inter.checkout_param(in->effect_ref, index, in->current_time, in->time_step,
                                        in->time_scale, &def);
  const PF_Err err2 = in->inter.checkin_param(in->effect_ref, &def);
  return err ? err : err2;
}

PF_Err PreRender(PF_InData* in, PF_PreRenderExtra* extra) {
  PF_ParamDef mode, grow;
  PF_Err err = ReadParam(in, 1, mode);
  if (!err) err = ReadParam(in, 2, grow);
  if (err) return err;
  FrameData* data = new (std::nothrow) FrameData{mode.u.pd.value, A_long(grow.u.fs_d.value)};
  if (data == nullptr) return PF_Err_OUT_OF_MEMORY;
  PF_PreRenderOutput* out = extra->output;
  std::memset(out, 0, sizeof *out);
  out->pre_render_data = data;
  out->delete_pre_render_data_func = Dispose;
  PF_RenderRequest req = extra->input->output_request;
  PF_CheckoutResult probe, full;
  req.rect = PF_LRect{0, 0, 0, 0};
  err = extra->cb->checkout_layer(in->effect_ref, 0, 0, &req, in->current_time, in->time_step,
                                  in->time_scale, &probe);
  if (err) return err;
  const PF_LRect extent{-data->grow, -data->grow, probe.ref_width + data->grow,
                        probe.ref_height + data->grow};
  req.rect = PF_LRect{0, 0, probe.ref_width, probe.ref_height};
  err = extra->cb->checkout_layer(in->effect_ref, 0, 1, &req, in->current_time, in->time_step,
                                  in->time_scale, &full);
  const PF_LRect& asked = extra->input->output_request.rect;
  out->result_rect = PF_LRect{asked.left > extent.left ? asked.left : extent.left,
                              asked.top > extent.top ? asked.top : extent.top,
                              asked.right < extent.right ? asked.right : extent.right,
                              asked.bottom < extent.bottom ? asked.bottom : extent.bottom};
  out->max_result_rect = extent;
  return err;
}

struct RowContext {
  PF_InData* in;
  const FrameData* data;
  PF_EffectWorld* input;
  PF_EffectWorld* output;
  const PF_PixelDataSuite1* pixels;
  PF_SampPB samp;
  const PF_Sampling8Suite1* s8;
  const PF_Sampling16Suite1* s16;
  const PF_SamplingFloatSuite1* sf;
};

PF_Err Base(RowContext* c, PF_Pixel8** p) { return c->in->utils->get_pixel_data8(c->input, nullptr, p); }
PF_Err Base(RowContext* c, PF_Pixel16** p) { return c->in->utils->get_pixel_data16(c->input, nullptr, p); }
PF_Err Base(RowContext* c, PF_PixelFloat** p) { return c->pixels->get_pixel_data_float(c->input, nullptr, p); }
PF_Err Sample(RowContext* c, PF_Fixed x, PF_Fixed y, PF_Pixel8* o) { return c->s8->subpixel_sample(c->in->effect_ref, x, y, &c->samp, o); }
PF_Err Sample(RowContext* c, PF_Fixed x, PF_Fixed y, PF_Pixel16* o) { return c->s16->subpixel_sample16(c->in->effect_ref, x, y, &c->samp, o); }
PF_Err Sample(RowContext* c, PF_Fixed x, PF_Fixed y, PF_PixelFloat* o) { return c->sf->subpixel_sample_float(c->in->effect_ref, x, y, &c->samp, o); }

template <typename Pixel>
PF_Err Row(void* refcon, A_long, A_long y, Pixel*, Pixel* out) {
  RowContext* c = static_cast<RowContext*>(refcon);
  if (c->data->mode == 3 && y >= 5) return 42 + y;
  Pixel* base = nullptr;
  PF_Err err = Base(c, &base);
  if (err) return err;
  const A_long sy = y + c->output->origin_y - c->input->origin_y;
  for (A_long x = 0; x < c->output->width; ++x) {
    const A_long sx = x + c->output->origin_x - c->input->origin_x;
    if (c->data->mode == 2) {
      Sample(c, sx * 65536 + 32768, sy * 65536, out + x);
    } else if (sx >= 0 && sy >= 0 && sx < c->input->width && sy < c->input->height) {
      out[x] = *reinterpret_cast<Pixel*>(reinterpret_cast<char*>(base) + sy * c->input->rowbytes +
                                         sx * A_long(sizeof(Pixel)));
    } else {
      out[x] = Pixel{};
    }
  }
  return PF_Err_NONE;
}

template <typename Suite, typename Fn>
PF_Err IterateWith(PF_InData* in, const char* name, RowContext& c, Fn fn) {
  const Suite* suite = nullptr;
  PF_Err err = Acquire(in, name, 1, suite);
  if (err) return err;
  PF_Rect area{0, 0, 1, c.output->height};
  err = suite->iterate(in, 0, c.output->height, nullptr, &area, &c, fn, c.output);
  const PF_Err err2 = Release(in, name, 1);
  return err ? err : err2;
}

PF_Err Render(PF_InData* in, PF_SmartRenderExtra* extra) {
  RowContext c{};
  c.in = in;
  c.data = static_cast<const FrameData*>(extra->input->pre_render_data);
  PF_Err err = extra->cb->checkout_layer_pixels(in->effect_ref, 1, &c.input);
  if (!err) err = extra->cb->checkout_output(in->effect_ref, &c.output);
  if (err) return err;
  const PF_WorldSuite2* world = nullptr;
  err = Acquire(in, kPFWorldSuite, kPFWorldSuiteVersion2, world);
  if (!err) err = Acquire(in, kPFPixelDataSuite, kPFPixelDataSuiteVersion1, c.pixels);
  if (!err) err = Acquire(in, kPFSampling8Suite, 1, c.s8);
  if (!err) err = Acquire(in, kPFSampling16Suite, 1, c.s16);
  if (!err) err = Acquire(in, kPFSamplingFloatSuite, 1, c.sf);
  c.samp.src = c.input;
  PF_PixelFormat format = PF_PixelFormat_INVALID;
  if (!err) err = world->PF_GetPixelFormat(c.input, &format);
  if (!err) {
    if (format == PF_PixelFormat_ARGB32) {
      err = IterateWith<PF_Iterate8Suite1>(in, kPFIterate8Suite, c, Row<PF_Pixel8>);
    } else if (format == PF_PixelFormat_ARGB64) {
      err = IterateWith<PF_Iterate16Suite1>(in, kPFIterate16Suite, c, Row<PF_Pixel16>);
    } else {
      err = IterateWith<PF_IterateFloatSuite1>(in, kPFIterateFloatSuite, c, Row<PF_PixelFloat>);
    }
  }
  if (c.sf != nullptr) Release(in, kPFSamplingFloatSuite, 1);
  if (c.s16 != nullptr) Release(in, kPFSampling16Suite, 1);
  if (c.s8 != nullptr) Release(in, kPFSampling8Suite, 1);
  if (c.pixels != nullptr) Release(in, kPFPixelDataSuite, kPFPixelDataSuiteVersion1);
  if (world != nullptr) Release(in, kPFWorldSuite, kPFWorldSuiteVersion2);
  return err;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) PF_Err FakeEntry(
    PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef* params[], PF_LayerDef*, void* extra) {
  switch (cmd) {
    case PF_Cmd_ABOUT:
      in->utils->ansi.sprintf(out->return_msg, "%s %d.%d", "Fake", 1, 2);
      return PF_Err_NONE;
    case PF_Cmd_GLOBAL_SETUP: return GlobalSetup(in, out);
    case PF_Cmd_PARAMS_SETUP: return AddParams(in, out);
    case PF_Cmd_USER_CHANGED_PARAM:
      return UserChangedParam(in, out, params, static_cast<PF_UserChangedParamExtra*>(extra));
    case PF_Cmd_SMART_PRE_RENDER: return PreRender(in, static_cast<PF_PreRenderExtra*>(extra));
    case PF_Cmd_SMART_RENDER: return Render(in, static_cast<PF_SmartRenderExtra*>(extra));
    default: return PF_Err_NONE;
  }
}
