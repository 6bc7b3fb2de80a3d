// A lens model of any kind (also none of the twelve) set up from any LensParams and asked
// to map any point in either direction: set-up and mapping must return (the range search,
// the spline fit and the Newton inversions all end), stay inside their memory and give a
// validity flag of 0 or 1.
#include <cstdint>
#include <cstdlib>

#include "FuzzInput.h"
#include "Lens/LensModel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  LensParams params;
  ResetLensParams(params);
  params.kind = in.IntIn<ModelKind>(0, 13);
  for (double* field : {&params.quadratic, &params.cubic, &params.quartic, &params.hCenter,
                        &params.vCenter, &params.eccentricity, &params.invVScale,
                        &params.vScale, &params.squeeze}) {
    *field = in.Double();
  }
  for (double& c : params.coef) c = in.Double();
  const double aspect = in.Double();

  LensModel model;
  SetParameters(model, params, aspect);
  // Several points through one set-up, as a render maps many.
  for (int i = 0; i < 4; ++i) {
    const bool distort = in.Bool();
    const Point2 point{in.Double(), in.Double()};
    const double radiusScale = in.Bool() ? 1.0 : in.Double();
    int32_t valid = -1;
    distort ? Distort(model, point, radiusScale, &valid) : Undistort(model, point, radiusScale, &valid);
    if (valid != 0 && valid != 1) std::abort();
    distort ? Distort(model, point, radiusScale, nullptr)
            : Undistort(model, point, radiusScale, nullptr);
  }
  return 0;
}
