#include "engine/SampleRepair.h"

#include <cmath>
#include <cstring>

namespace {

// Whether any sample is outside [-1, 1], NaN included. On the bit patterns:
// the magnitude's bits above those of 1.0 are the samples beyond full scale,
// infinities and NaN alike; blocks of a fixed size let the compiler turn the
// loop into vector code, so that a clean chunk costs a streaming read.
template <typename T, typename Bits, Bits One>
bool AnyOutside(const T* samples, int count) {
  constexpr int Block = 16;
  constexpr Bits Magnitude = ~Bits(0) >> 1;
  int i = 0;
  for (; i + Block <= count; i += Block) {
    Bits beyond = 0;
    for (int k = 0; k < Block; ++k) {
      Bits bits;
      std::memcpy(&bits, samples + i + k, sizeof bits);
      beyond |= static_cast<Bits>((bits & Magnitude) > One);
    }
    if (beyond) return true;
  }
  for (; i < count; ++i)
    if (!(std::fabs(samples[i]) <= T(1))) return true;
  return false;
}

bool AnyOutside(const float* samples, int count) {
  return AnyOutside<float, uint32_t, 0x3F800000u>(samples, count);
}
bool AnyOutside(const double* samples, int count) {
  return AnyOutside<double, uint64_t, 0x3FF0000000000000ull>(samples, count);
}

// Repairs in place; returns the samples counted as invalid.
template <typename T>
int64_t RepairPlane(T* samples, int count) {
  int64_t invalid = 0;
  for (int i = 0; i < count; ++i) {
    T& x = samples[i];
    if (std::fabs(x) <= T(1)) continue;
    if (!std::isfinite(x)) {
      x = T(0);
      ++invalid;
      continue;
    }
    if (std::fabs(x) > T(SampleRepairer::InvalidAbove)) ++invalid;
    x = x > 0 ? T(1) : T(-1);
  }
  return invalid;
}

template <typename T>
bool AnyOutOfScale(const uint8_t* const* in, int planes, int count) {
  for (int p = 0; p < planes; ++p)
    if (AnyOutside(reinterpret_cast<const T*>(in[p]), count)) return true;
  return false;
}

}  // namespace

const uint8_t* const* SampleRepairer::Repair(const uint8_t* const* in, AVSampleFormat format,
                                             int planes, int count) {
  const bool isDouble = format == AV_SAMPLE_FMT_DBL || format == AV_SAMPLE_FMT_DBLP;
  const bool isFloat = format == AV_SAMPLE_FMT_FLT || format == AV_SAMPLE_FMT_FLTP;
  if ((!isFloat && !isDouble) || count <= 0 || planes <= 0) return in;
  if (isDouble ? !AnyOutOfScale<double>(in, planes, count)
               : !AnyOutOfScale<float>(in, planes, count))
    return in;

  const size_t bytes = static_cast<size_t>(count) * (isDouble ? sizeof(double) : sizeof(float));
  if (Copies.size() < static_cast<size_t>(planes)) Copies.resize(static_cast<size_t>(planes));
  Repaired.assign(static_cast<size_t>(planes), nullptr);
  for (int p = 0; p < planes; ++p) {
    std::vector<uint8_t>& copy = Copies[static_cast<size_t>(p)];
    // A byte vector's storage comes from operator new, aligned for doubles.
    if (copy.size() < bytes) copy.resize(bytes);
    std::memcpy(copy.data(), in[p], bytes);
    InvalidCount += isDouble ? RepairPlane(reinterpret_cast<double*>(copy.data()), count)
                             : RepairPlane(reinterpret_cast<float*>(copy.data()), count);
    Repaired[static_cast<size_t>(p)] = copy.data();
  }
  return Repaired.data();
}
