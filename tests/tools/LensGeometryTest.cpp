// What `vtlens map --to source` and `stmap` compute, against the render's own mapping set
// up from the values exactly as typed.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Harness.h"
#include "Host/RenderSetUp.h"
#include "Host/RowCallbacks.h"
#include "LensGeometry.h"

namespace {

// Every lens model in every mode, on an odd layer, with a centre and sizes that 16.16
// fixed point cannot hold: the positions are those of the typed doubles.
TEST(LensGeometry, MapsWithTheValuesAsTyped) {
  // A host of its own, whose row threads end with the test: the vtlens tests fork this
  // process, and a fork must not copy threads.
  std::string error;
  const std::unique_ptr<harness::EffectHost> loaded =
      harness::EffectHost::Load(VTAFX_MODULE_PATH, error, harness::HostOptions{1});
  ASSERT_TRUE(loaded) << error;
  loaded->GlobalSetup();
  loaded->ParamsSetup();
  harness::EffectHost& host = *loaded;
  // Two sliders of each lens model in turn: index, value, index, value.
  const double coefficients[12][4] = {
      {11, 13.7, 13, 0.9},     {18, 0.031, 21, 1.1},  {25, 0.031, 28, -0.004},
      {25, -0.031, 30, 0.004}, {33, 0.021, 44, 1.5},  {33, -0.021, 42, 1.02},
      {47, 0.021, 67, 1.5},    {56, 0.01, 65, 0.98},  {70, 0.03, 74, 1.05},
      {70, -0.03, 75, 0.9},    {73, 0.001, 74, 0.95}, {71, 0.003, 75, 1.1}};
  std::vector<MappedPoint> outputs;
  PointPacket run;
  run.x.count = run.y.count = 0;
  for (double y : {-2.0, 0.0, 10.5, 22.0, 25.0}) {
    for (double x : {-3.0, 0.0, 7.5, 18.0, 36.0, 40.0}) {
      outputs.push_back(MappedPoint{x, y, 1});
      run.x[run.x.count++] = float(x);
      run.y[run.y.count++] = float(y);
    }
  }
  for (int32_t choice = 1; choice <= 12; ++choice) {
    for (int32_t mode = 1; mode <= 3; ++mode) {
      SCOPED_TRACE("lens model " + std::to_string(choice) + " mode " + std::to_string(mode));
      harness::EffectInstance instance(host);
      std::vector<double> sliders(host.Params().size(), 0.0);
      for (size_t i = 1; i < sliders.size(); ++i)
        sliders[i] = instance.ValueAt(PF_ParamIndex(i), 0).x;
      std::vector<std::pair<PF_ParamIndex, harness::ParamValue>> typed = {
          {1, {double(choice)}}, {2, {double(mode)}}, {6, {1.07}},
          {7, {36.7, 23.2}},     {8, {41.3, 25.9}},   {9, {16.92, 10.93}}};
      for (int k : {0, 2})
        typed.push_back({int(coefficients[choice - 1][k]), {coefficients[choice - 1][k + 1]}});
      for (const auto& [index, value] : typed) {
        ASSERT_TRUE(instance.SetValue(index, value));
        sliders[size_t(index)] = value.x;
      }
      RenderParameterValues values{choice,       mode,          4, 1.0, 1.0, 1.07, {36.7, 23.2},
                                   {41.3, 25.9}, {16.92, 10.93}};
      RenderContextPtr reference(CreateRenderContext());
      ASSERT_EQ(SetUpRenderContextFromValues(values, sliders.data(), *reference), PF_Err_NONE);
      PointPacket expected;
      MapRunToSource(*reference, run, expected);

      RenderContextPtr context = SetUpGeometry(instance, 0, 37, 23);
      const std::vector<MappedPoint> sources = MapToSource(*context, outputs);
      ASSERT_EQ(sources.size(), outputs.size());
      for (int32_t k = 0; k < run.x.count; ++k) {
        EXPECT_EQ(float(sources[size_t(k)].x), expected.x[k]) << k;
        EXPECT_EQ(float(sources[size_t(k)].y), expected.y[k]) << k;
      }
    }
  }
}

}  // namespace
