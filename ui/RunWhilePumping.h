#pragma once
// A long call (a sync, a close of a large file) on a thread of its own while
// the window's thread lets events run.

#include <chrono>
#include <future>
#include <utility>

// Runs `call` on a thread of its own, calls `pump` every `pumpMs`
// milliseconds until it is done, and gives its result. The call is waited
// for whatever the pump does: it holds what it works on.
template <class Call, class Pump>
auto RunWhilePumping(Call call, Pump pump, int pumpMs) -> decltype(call()) {
  auto done = std::async(std::launch::async, std::move(call));
  while (done.wait_for(std::chrono::milliseconds(pumpMs)) != std::future_status::ready)
    pump();
  return done.get();
}
