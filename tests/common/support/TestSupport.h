#pragma once
// Small helpers shared by the test programs.

#include <string>

namespace ruv::testing {

// The message of the error of class E that f raises, or "<no error>".
template <class E, class F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e.Message();
  }
  return "<no error>";
}

}  // namespace ruv::testing
