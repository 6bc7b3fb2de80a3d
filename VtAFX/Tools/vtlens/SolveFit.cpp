#include "SolveFit.h"

#include <ceres/ceres.h>

#include <cmath>
#include <cstdio>
#include <glog/logging.h>
#include <memory>
#include <unistd.h>

#include "ToolError.h"

namespace {

// One correspondence's residual, in distorted pixels, where the measurements are.
struct PointCost {
  SolveLens* lens;
  Correspondence c;
  bool operator()(double const* const* parameters, double* residual) const {
    double ux = c.ux, uy = c.uy;
    if (c.view >= 0) {
      const double* h = parameters[1];
      const double w = h[6] * c.ux + h[7] * c.uy + 1.0;
      if (!(std::fabs(w) > 1e-12)) return false;
      ux = (h[0] * c.ux + h[1] * c.uy + h[2]) / w;
      uy = (h[3] * c.ux + h[4] * c.uy + h[5]) / w;
    }
    double x = 0, y = 0;
    if (!lens->Distort(parameters[0], ux, uy, x, y)) return false;
    residual[0] = x - c.dx;
    residual[1] = y - c.dy;
    return true;
  }
};

// The iteration count and cost on a terminal; logs get the summary line only.
struct ProgressLine : ceres::IterationCallback {
  bool show = isatty(2) == 1;
  size_t points = 1;
  ceres::CallbackReturnType operator()(const ceres::IterationSummary& s) override {
    if (show)
      std::fprintf(stderr, "\rsolving: iteration %d, RMS %.4g px   ", s.iteration,
                   std::sqrt(2 * s.cost / static_cast<double>(points)));
    return ceres::SOLVER_CONTINUE;
  }
  ~ProgressLine() override {
    if (show) std::fputs("\r                                              \r", stderr);
  }
};

struct Pass {
  std::vector<double> lens;
  std::vector<std::vector<double>> homographies;  // eight each, the ninth is 1
};

std::string Count(size_t n, const char* what) {
  return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

void CheckEnough(size_t points, size_t unknowns) {
  if (2 * points <= unknowns)
    throw ToolError("too few points: " + Count(points, "usable point") + " give " +
                    std::to_string(2 * points) + " equations for " + std::to_string(unknowns) +
                    " unknowns; give more points or fewer --free parameters");
}

}  // namespace

FitResult FitLens(SolveLens& lens, const std::vector<FreeParameter>& free,
                  const std::vector<double>& start, const Correspondences& data,
                  const FitOptions& options) {
  if (free.empty()) throw UsageError("nothing to solve for: the lens model has no free parameters");
  lens.SetFree(free);
  Pass pass;
  pass.lens = start;
  for (const ChartView& v : data.views)
    pass.homographies.emplace_back(v.homography, v.homography + 8);
  const size_t n = data.points.size();
  std::vector<bool> use(n, false);
  std::vector<PointResidual> residuals(n);
  auto evaluate = [&](size_t i, double* e) {
    const Correspondence& c = data.points[i];
    const double* parameters[2] = {
        pass.lens.data(), c.view >= 0 ? pass.homographies[size_t(c.view)].data() : nullptr};
    return PointCost{&lens, c}(parameters, e);
  };
  for (size_t i = 0; i < n; ++i) {
    double e[2];
    use[i] = evaluate(i, e);
    residuals[i].x = data.points[i].dx;
    residuals[i].y = data.points[i].dy;
  }

  const size_t unknowns = free.size() + 8 * data.views.size();
  FitResult result;
  ceres::Solver::Summary summary;
  std::unique_ptr<ceres::Problem> problem;
  ceres::HuberLoss loss(options.huberPixels);
  for (int round = 0; round < 2; ++round) {
    size_t used = 0;
    for (bool u : use) used += u;
    CheckEnough(used, unknowns);
    ceres::Problem::Options problemOptions;
    problemOptions.loss_function_ownership = ceres::DO_NOT_TAKE_OWNERSHIP;
    problem = std::make_unique<ceres::Problem>(problemOptions);
    for (size_t i = 0; i < n; ++i) {
      if (!use[i]) continue;
      const Correspondence& c = data.points[i];
      auto* cost = new ceres::DynamicNumericDiffCostFunction<PointCost, ceres::CENTRAL>(
          new PointCost{&lens, c});
      cost->AddParameterBlock(static_cast<int>(free.size()));
      cost->SetNumResiduals(2);
      std::vector<double*> blocks{pass.lens.data()};
      if (c.view >= 0) {
        cost->AddParameterBlock(8);
        blocks.push_back(pass.homographies[size_t(c.view)].data());
      }
      problem->AddResidualBlock(cost, &loss, blocks);
    }
    for (size_t k = 0; k < free.size(); ++k) {
      if (std::isfinite(free[k].lower))
        problem->SetParameterLowerBound(pass.lens.data(), int(k), free[k].lower);
      if (std::isfinite(free[k].upper))
        problem->SetParameterUpperBound(pass.lens.data(), int(k), free[k].upper);
    }
    ceres::Solver::Options solverOptions;
    solverOptions.minimizer_type = ceres::TRUST_REGION;
    solverOptions.trust_region_strategy_type = ceres::LEVENBERG_MARQUARDT;
    solverOptions.linear_solver_type = data.views.empty() ? ceres::DENSE_QR : ceres::DENSE_SCHUR;
    solverOptions.max_num_iterations = options.maxIterations;
    solverOptions.function_tolerance = 1e-14;
    solverOptions.parameter_tolerance = 1e-14;
    solverOptions.gradient_tolerance = 1e-16;
    solverOptions.logging_type = ceres::SILENT;
    // The lens caches its set-ups for the parameter values being differenced, so the
    // evaluation stays on one thread.
    solverOptions.num_threads = 1;
    ProgressLine progress;
    progress.points = used;
    solverOptions.callbacks.push_back(&progress);
    ceres::Solve(solverOptions, problem.get(), &summary);
    result.iterations += static_cast<int>(summary.iterations.size());
    if (summary.termination_type != ceres::CONVERGENCE) {
      double rms = std::sqrt(2 * summary.final_cost / static_cast<double>(used));
      throw ToolError("the solve did not converge after " +
                      Count(summary.iterations.size(), "iteration") + " (" + summary.message +
                      "); the last RMS residual was " + std::to_string(rms) + " px");
    }
    bool dropped = false;
    for (size_t i = 0; i < n; ++i) {
      double e[2] = {0, 0};
      bool mapped = evaluate(i, e);
      residuals[i].ex = e[0];
      residuals[i].ey = e[1];
      if (use[i] && !(mapped && std::hypot(e[0], e[1]) <= options.rejectPixels)) {
        use[i] = false;
        dropped = true;
      }
    }
    if (!dropped) break;
  }

  result.values = pass.lens;
  double sum = 0;
  for (size_t i = 0; i < n; ++i) {
    residuals[i].used = use[i];
    if (!use[i]) {
      ++result.rejected;
      continue;
    }
    ++result.used;
    const double e2 = residuals[i].ex * residuals[i].ex + residuals[i].ey * residuals[i].ey;
    sum += e2;
    result.largest = std::max(result.largest, std::sqrt(e2));
  }
  CheckEnough(result.used, unknowns);
  result.rms = std::sqrt(sum / static_cast<double>(result.used));
  result.residuals = std::move(residuals);

  // The fit's own spread of the residuals scales the inverse normal matrix into variances.
  result.deviations.assign(free.size(), std::nan(""));
  // A parameter the data cannot pin down is reported as nan, not logged by the library.
  FLAGS_minloglevel = google::GLOG_FATAL;
  ceres::Covariance::Options covarianceOptions;
  covarianceOptions.algorithm_type = ceres::DENSE_SVD;
  covarianceOptions.num_threads = 1;
  ceres::Covariance covariance(covarianceOptions);
  std::vector<std::pair<const double*, const double*>> blocks{{pass.lens.data(), pass.lens.data()}};
  if (covariance.Compute(blocks, problem.get())) {
    std::vector<double> matrix(free.size() * free.size());
    if (covariance.GetCovarianceBlock(pass.lens.data(), pass.lens.data(), matrix.data())) {
      const double variance = sum / static_cast<double>(2 * result.used - unknowns);
      for (size_t k = 0; k < free.size(); ++k)
        result.deviations[k] = std::sqrt(matrix[k * free.size() + k] * variance);
    }
  }
  return result;
}
