// Deterministic maths: range reduction and short series.
#include "tools/detmath.h"

#include <cmath>

namespace {
constexpr double pi = 3.14159265358979323846;
}  // namespace

double dm_sin(double cycles) {
  const double x = cycles - std::floor(cycles);  // 0 .. 1
  const double t = x * 4.0;
  const double quadrant = std::floor(t);
  double f = t - quadrant;
  if (quadrant == 1.0 || quadrant == 3.0) f = 1.0 - f;
  const double a = f * (pi / 2.0);
  const double a2 = a * a;
  // Taylor series of sin to a^15: error below 3e-11 on 0 .. pi/2.
  double term = a;
  double sum = a;
  for (int n = 1; n <= 7; ++n) {
    term *= -a2 / static_cast<double>((2 * n) * (2 * n + 1));
    sum += term;
  }
  return quadrant >= 2.0 ? -sum : sum;
}

double dm_exp(double x) {
  int halvings = 0;
  while (std::fabs(x) > 0.5 && halvings < 16) {
    x /= 2.0;
    ++halvings;
  }
  double term = 1.0;
  double sum = 1.0;
  for (int n = 1; n <= 18; ++n) {
    term *= x / static_cast<double>(n);
    sum += term;
  }
  for (int i = 0; i < halvings; ++i) sum *= sum;
  return sum;
}

double dm_clamp(double x, double lo, double hi) { return x < lo ? lo : (x > hi ? hi : x); }
