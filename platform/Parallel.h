// Splitting a loop over the cores.
#pragma once

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

// Runs body(from, to) over [0, count) in contiguous slices, one per core; the
// calling thread takes the first slice and returns when all are done. Below
// `grain` items, on one core, or when no thread can be started, the caller
// does the whole range itself. The body must only write what belongs to its
// own slice.
template <class Body>
void ParallelFor(long count, long grain, Body&& body) {
  const long cores = static_cast<long>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
  const long slices = std::min(cores, count / std::max(grain, 1L));
  if (slices <= 1) {
    if (count > 0) body(0L, count);
    return;
  }
  const long share = (count + slices - 1) / slices;
  std::vector<std::thread> helpers;
  long started = 1;
  try {
    helpers.reserve(static_cast<size_t>(slices - 1));
    for (; started < slices; ++started) {
      const long from = std::min(count, share * started);
      helpers.emplace_back([&body, from, to = std::min(count, from + share)] { body(from, to); });
    }
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
  // Slices no thread took fall to the caller, after its own.
  body(0L, std::min(count, share));
  if (started < slices) body(std::min(count, share * started), count);
  for (std::thread& t : helpers) t.join();
}
